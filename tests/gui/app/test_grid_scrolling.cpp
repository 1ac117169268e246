// Scrolling a tall sheet: the scroll bar reaches every row, however it is moved.
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleOptionSlider>

#include <sqlite3.h>

#include "WindowFixture.h"
#include "platform/jet/Jet.h"
#include "platform/jet/Session.h"
#include "text/modGlobalization.h"

namespace dalvera::testing {
namespace {

class ScrollingTest : public WindowTest {
protected:
    // A sheet of n numbered rows in column A, shown in the window.
    void fill(long n) {
        VariantArray2D values(n, 1);
        for (long r = 1; r <= n; ++r) values(r, 1) = Variant(static_cast<double>(r));
        sheet()->Range("A1:A" + std::to_string(n))->SetValues(values);
        settle();
    }
    // The sheet row shown at the bottom edge of the grid's viewport.
    int lastShownRow() {
        auto& g = grid();
        int row = g.rowAt(g.viewport()->height() - 2);
        return row < 0 ? g.model()->rowCount() : row + 1;
    }
    // A person's drag of the slider from its middle to the point `to` of the bar.
    void drag(QScrollBar* bar, QPoint to) {
        QStyleOptionSlider opt;
        opt.initFrom(bar);
        opt.orientation = bar->orientation();
        opt.minimum = bar->minimum();
        opt.maximum = bar->maximum();
        opt.sliderPosition = bar->sliderPosition();
        opt.sliderValue = bar->value();
        opt.singleStep = bar->singleStep();
        opt.pageStep = bar->pageStep();
        opt.subControls = QStyle::SC_All;
        const QPoint from =
            bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, bar).center();
        auto send = [bar](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
            QMouseEvent e(type, QPointF(at), bar->mapToGlobal(QPointF(at)), Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(bar, &e);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        // Slowly, as a hand moves: the window's refresh runs between the moves.
        for (int step = 1; step <= 10; ++step) {
            send(QEvent::MouseMove, from + (to - from) * step / 10, Qt::LeftButton);
            QTest::qWait(30);
        }
        send(QEvent::MouseButtonRelease, to, Qt::NoButton);
        settle();
    }
};

TEST_F(ScrollingTest, DraggingTheScrollBarToTheEndShowsTheLastRow) {
    open(12);
    constexpr long kRows = 100000;
    fill(kRows);
    QScrollBar* bar = grid().verticalScrollBar();
    drag(bar, QPoint(bar->width() / 2, bar->height() + 50));  // past the end, as a hand does
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_GE(lastShownRow(), kRows);
    EXPECT_EQ(grid().model()->data(grid().model()->index(kRows - 1, 0)).toString(), QString::number(kRows));

    // Halfway down the bar is halfway down the sheet, and back at the top is row 1.
    drag(bar, QPoint(bar->width() / 2, bar->height() / 2));
    const int middle = grid().rowAt(0) + 1;
    EXPECT_GT(middle, kRows / 4);
    EXPECT_LT(middle, kRows * 3 / 4);
    drag(bar, QPoint(bar->width() / 2, -50));
    EXPECT_EQ(grid().rowAt(0), 0);
}

TEST_F(ScrollingTest, DraggingToTheEndOfAShownTableReachesItsLastRecord) {
    constexpr long kRows = 100000;
    const std::string path = dir_ + "/big.sqlite";
    {
        auto db = jet::CreateDatabase(path);
        db->Execute("CREATE TABLE Big (ID LONG CONSTRAINT PK_Big PRIMARY KEY, Name TEXT(50))");
        sqlite3_exec(db->session().db(),
                     ("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                      std::to_string(kRows) + ") INSERT INTO Big SELECT i, 'Name ' || i FROM n")
                         .c_str(),
                     nullptr, nullptr, nullptr);
        db->Close();
    }
    auto& w = open(12);
    ui_.expectOpenFile(path);
    ui_.expectForm("frmMessage", [](host::Form& f) { click(f, "cmdOK"); });
    QString error;
    ASSERT_TRUE(w.perform("click:Open database", &error)) << error.toStdString();
    ui_.expectMsgBox(host::answer::Yes, GetMessage(32));  // more cells than the warning limit
    ASSERT_TRUE(w.perform("click:Tables/Big", &error)) << error.toStdString();
    settle();
    ASSERT_EQ(grid().model()->data(grid().model()->index(kRows, 0)).toString(), QString::number(kRows));

    QScrollBar* bar = grid().verticalScrollBar();
    drag(bar, QPoint(bar->width() / 2, bar->height() + 50));
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_GE(lastShownRow(), kRows + 1);  // the header row and every record
}

TEST_F(ScrollingTest, TheScrollRangeFollowsTheSheetAsItGrows) {
    open(12);
    fill(500);
    QScrollBar* bar = grid().verticalScrollBar();
    fill(300000);
    drag(bar, QPoint(bar->width() / 2, bar->height() + 50));
    EXPECT_GE(lastShownRow(), 300000);
}

}  // namespace
}  // namespace dalvera::testing
