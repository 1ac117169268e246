#pragma once
// A workbook built through the host object model with values of every kind,
// styles, a comment, a validation rule and hidden sheets, saved into a
// temporary folder with the savers of this folder registered.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "platform/sheets/Embedded.h"
#include "platform/sheets/formats/DelimitedText.h"
#include "platform/sheets/formats/WebPage.h"
#include "platform/sheets/formats/XmlSpreadsheet.h"
#include "runtime/DateSerial.h"
#include "runtime/Error.h"

namespace dalvera::test {

namespace fs = std::filesystem;

class FormatsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "dalvera-formats-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        app = platform::createEmbeddedApplication();
        app->setCountryCode(1);
        app->registerSaver(host::xl::CSV, platform::formats::saveCsv);
        app->registerSaver(host::xl::CurrentPlatformText, platform::formats::saveTabText);
        app->registerSaver(host::xl::Html, platform::formats::saveHtml);
        app->registerSaver(host::xl::WebArchive, platform::formats::saveWebArchive);
        app->registerSaver(host::xl::XMLSpreadsheet, platform::formats::saveXmlSpreadsheet);
        book = app->Workbooks().Add();
        data = book->Worksheets()->Item(1);
        data->SetName("Data");
        fill();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // Data (active): a header row and rows of every kind of value.
    // Secret (very hidden), Notes (hidden), Other (visible).
    void fill() {
        auto set = [&](const char* a, const Variant& v) { data->Range(a)->SetValue(v); };
        set("A1", "Name"), set("B1", "Amount"), set("C1", "When"), set("D1", "Flag"), set("E1", "Note");
        data->Range("A1:E1")->Font()->SetBold(true);
        data->Range("A1")->Interior()->SetColor(0x00FFFF);  // yellow
        data->Range("B1")->Font()->SetColor(0x0000FF);      // red
        set("A2", "Smith, John");
        set("B2", Variant::currency(1234.5));
        data->Range("B2")->SetNumberFormat("$#,##0.00");
        set("C2", Variant::date(dateSerial(2024, 3, 15)));
        data->Range("C2")->SetNumberFormat("yyyy-mm-dd");
        set("D2", true);
        set("E2", "He said \"hi\"");
        set("A3", "Zoë € ünï");
        set("B3", 3.25);
        set("D3", false);
        set("E3", "line1\nline2");
        set("A4", "tab\there");
        set("B4", -42.0);
        set("C4", Variant::date(dateSerial(2023, 12, 31, 13, 45, 0)));
        data->Range("C4")->SetNumberFormat("m/d/yyyy h:mm");
        set("E4", "<b>&amp;</b>");
        data->Columns(1)->SetColumnWidth(20);
        data->Range("E2")->AddComment("checked by \"Ann\"");

        auto sheets = book->Worksheets();
        auto secret = sheets->Add(nullptr, data);
        secret->SetName("Secret");
        secret->Range("A1")->SetValue("hidden-value");
        auto notes = sheets->Add(nullptr, secret);
        notes->SetName("Notes");
        notes->Range("A1")->SetValue("notes-value");
        auto other = sheets->Add(nullptr, notes);
        other->SetName("Other");
        other->Range("B2")->SetValue(7.0);
        secret->SetVisible(host::xl::SheetVeryHidden);
        notes->SetVisible(host::xl::SheetHidden);
        data->Activate();
    }

    std::string path(const std::string& name) const { return (fs::path(dir) / name).string(); }
    static std::string read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string saveAndRead(const std::string& name, int format) {
        book->SaveAs(path(name), Variant(format));
        return read(path(name));
    }
    template <class F>
    static long errorOf(F&& f) {
        try {
            f();
        } catch (const Error& e) {
            EXPECT_FALSE(e.description().empty());
            return e.number();
        }
        return 0;
    }

    std::string dir;
    std::shared_ptr<platform::EmbeddedApplication> app;
    host::WorkbookPtr book;
    host::WorksheetPtr data;
};

}  // namespace dalvera::test
