// The catalogue: every message and caption in English and Dutch.
// "\r" alone separates lines inside a message (never CR LF); "\t" is a tab.
// Spaces at either end of a text are part of it.
#include "text/modGlobalization.h"

#include <iterator>

namespace dalvera {
namespace {

// Sorted by number: GetMessage searches it by halving.
constexpr MessageText kMessages[] = {
    {1,
     "{error}\r"
     "(Error Number: {errno})",
     "{error}\r"
     "(Foutnummer: {errno})"},
    {2,
     "Unexpected error:\r"
     "{error}\r"
     "(Error number: {errno})",
     "Onverwachte fout:\r"
     "{error}\r"
     "(Foutnummer: {errno})"},
    {3, "&Cancel", "&Annuleren"},
    {4, "&Apply", "&Toepassen"},
    {5, "One moment...", "Even geduld..."},
    {6, "Ready", "Gereed"},
    {7, "Message", "Melding"},
    {8, "Table", "Tabel"},
    {9, " Workbook", "-werkmap"},
    {10,
     "An invalid Excel instance has been detected.\r"
     "Please close all running Excel instances and then reopen Excel.\r"
     "\r"
     "Do the following if this problem persists:\r"
     "- Open Task Manager (Ctrl+Alt+Delete)\r"
     "- Select tab Processes\r"
     "- Select process with Image name EXCEL.EXE\r"
     "- Select button 'End Process'; Confirm\r"
     "- Repeat this for all EXCEL.EXE processes in Task Manager",
     "Er is een ongeldige Excel-instantie aangetroffen.\r"
     "Sluit alle geopende Excel programma's en heropen Excel.\r"
     "\r"
     "Doe het volgende indien het probleem aanhoudt:\r"
     "- Start Taakbeheer (Ctrl+Alt+Delete)\r"
     "- Selecteer tab Processen\r"
     "- Selecteer het proces met Imagenaam EXCEL.EXE\r"
     "- Selecteer knop 'Proces beëindigen'; Bevestig\r"
     "- Herhaal dit voor alle EXCEL.EXE-processen in Taakbeheer"},
    {11,
     "Open a database by selecting '{msg 122}' in menu item '{product}'.",
     "Open een database door '{msg 122}' in menu-item '{product}' te selecteren."},
    {12,
     "Open a database by selecting 'Open database' in tab '{product}'.",
     "Open een database door 'Open database' in de tab '{product}' te selecteren."},
    {13,
     "'{product}' is intended for MS Excel versions 2003 and older.\r"
     "'{1}' will better suite your MS Office version:\r"
     "- New MS Access file formats like .accdb are supported\r"
     "- {1} has its own tab in the Excel ribbon\r"
     "\r"
     "Would you like to visit the product page of {1}?",
     "'{product}' is bedoeld voor MS Excel versies 2003 en ouder. \r"
     "'{1}' is beter geschikt voor uw MS Office versie:\r"
     "- De nieuwe bestandtypes in MS Access zoals .accdb worden ondersteund.\r"
     "- {1} beschikt over een eigen tab in het Excel lint.\r"
     "\r"
     "Wilt u de produktpagina van {1} bezoeken?"},
    {14,
     "Open a database by selecting '{msg 122}'\r"
     "in menu '{product}' under tab 'Add-Ins'.",
     "Open een database door in de tab\r"
     "'Invoegtoepassingen' in menu '{product}'\r"
     "'{msg 122}' te selecteren."},
    {15, "Are you sure?", "Weet u het zeker?"},
    {16,
     "The changes will not be saved unless you write them to the database.\r",
     "De wijzigingen worden niet opgeslagen tenzij u ze eerst wegschrijft.\r"},
    {17,
     "The changes will not be saved unless you write them to the database.\r"
     "Are you sure you want to open another database?",
     "De wijzigingen worden niet opgeslagen tenzij u ze eerst wegschrijft.\r"
     "Weet u zeker dat u een andere database wilt selecteren?"},
    {18,
     "The changes will not be saved unless you write them to the database.\r"
     "Are you sure you want to close the workbook?",
     "De wijzigingen worden niet opgeslagen tenzij u ze eerst wegschrijft.\r"
     "Weet u zeker dat u de werkmap wilt sluiten?"},
    {19,
     "The changes will not be saved unless you write them to the database.\r"
     "Are you sure you want to save the workbook?",
     "De wijzigingen worden niet opgeslagen tenzij u ze eerst wegschrijft.\r"
     "Weet u zeker dat u de werkmap wilt opslaan?"},
    {20,
     "The changes will not be saved unless you write them to the database.\r"
     "Are you sure you want to select {1}?",
     "De wijzigingen worden niet opgeslagen tenzij u ze eerst wegschrijft.\r"
     "Weet u zeker dat u {1} wilt selecteren?"},
    {21,
     "The changes will not be saved unless you write them to the database.\r"
     "Are you sure you want to refresh the data?",
     "De wijzigingen worden niet opgeslagen tenzij u ze eerst wegschrijft.\r"
     "Weet u zeker dat u de gegevens wilt vernieuwen?"},
    {22,
     "The generated worksheets are not saved.\r"
     "Are you sure you want to close the application?",
     "De gegenereerde werkbladen worden niet opgeslagen.\r"
     "Weet u zeker dat u de toepassing wilt sluiten?"},
    {23,
     "The database connection will be closed.\r"
     "Are you sure you want to save the workbook?",
     "De connectie met de database wordt verbroken.\r"
     "Weet u zeker dat u de werkmap wilt opslaan?"},
    {24,
     "Select menu item '{msg 124}' to display and alter data.",
     "Selecteer de optie '{msg 124}' om gegevens te tonen en aan te passen."},
    {25,
     "Select a table in the drop down 'Tables' to display and alter data.",
     "Selecteer een tabel in keuzelijst 'Tables' om gegevens te tonen en aan te passen."},
    {26,
     "The database does not contain tables.",
     "Er zijn geen tabellen in de database aangetroffen."},
    {27, "[SQL can not be displayed]", "[SQL kan niet worden getoond]"},
    {29,
     "The following components are missing or are not properly installed:\r"
     "{1}\r"
     "\r"
     "These components are available for download on the Microsoft website.\r"
     "Please follow the instructions on the web page that will appear\r"
     "after this and reopen Excel.",
     "Uw computer mist de volgende vereiste software-componenten:\r"
     "{1}\r"
     "\r"
     "Deze componenten zijn te downloaden van de Microsoft-website.\r"
     "Volg de instructies op de hierna getoonde webpagina en heropen \r"
     "daarna Excel."},
    {30,
     "Multiple {title} Add-ins are loaded.\r"
     "Using these versions simultaneously is not supported.\r"
     "Make sure only one {title} Add-in is selected\r"
     "in the Excel Add-ins dialog box and reopen Excel.",
     "Er zijn meerdere {title}-invoegtoepassingen\r"
     "tegelijkertijd geladen.\r"
     "Het is niet mogelijk deze versies naast elkaar te gebruiken.\r"
     "Zorg daarom dat slechts één {title}-invoegtoepassing\r"
     "geselecteerd is in het beheerscherm invoegtoepassingen\r"
     "en heropen daarna Excel."},
    {31,
     "The number of records is too large\r"
     "to display in an Excel worksheet.\r"
     "Number of records: {1}",
     "Het aantal records is te groot om \r"
     "in een Excel werkblad te tonen.\r"
     "\r"
     "Aantal records: {1}"},
    {32,
     "It could take some time to show the data.\r"
     "Are you sure you want to continue?",
     "Het tonen van de gegevens kan enige tijd duren.\r"
     "Weet u zeker dat u wilt doorgaan?"},
    {33, "Execute SQL statement:", "Voer SQL opdracht uit:"},
    {34, "The {1} has been executed succesfully.", "De {1} is succesvol uitgevoerd."},
    {35,
     "SQL statement has been executed succesfully.",
     "Het SQL-statement is succesvol uitgevoerd."},
    {36, "One record has been affected.", "Er is één record aangepast."},
    {37, "{1} records have been affected.", "Er zijn {1} records aangepast."},
    {41,
     "Reopen the table or database to see the result.",
     "Heropen de tabel of database om het resultaat te bekijken."},
    {42, "The parameter is invalid.", "De parameter is ongeldig."},
    {43,
     "The database connection is not available.",
     "De databaseconnectie is niet beschikbaar."},
    {44,
     "You are about to execute a data-definition query\r"
     "Are you sure you want to execute this SQL statement?",
     "U staat op het punt een gegevensdefinitiequery uit te voeren.\r"
     "Weet u zeker dat u deze SQL-opdracht wilt uitvoeren?"},
    {45, "SQL statement", "SQL-opdracht"},
    {46,
     "The table will be dropped from the database.\r"
     "Are you really sure you want to execute this SQL statement?",
     "De tabel zal uit de database worden verwijderd.\r"
     "Weet u echt zeker dat u deze query wilt uitvoeren?"},
    {47,
     "You are about to execute a command that could possibly\r"
     "alter the structure and/or contents of the database.\r"
     "Are you sure you want to execute this stored procedure?",
     "U staat op het punt om een opdracht uit te voeren die van\r"
     "invloed kan zijn op de structuur en/of inhoud van de database.\r"
     "Weet u zeker dat u de stored procedure wilt uitvoeren?"},
    {48,
     "You are about to execute a query that will alter\r"
     "the contents of a table.\r"
     "Are you sure you want to execute this action query?",
     "U staat op het punt om een query uit te voeren\r"
     "die gegevens in een tabel zal wijzigen.\r"
     "Weet u zeker dat u deze actiequery wilt uitvoeren?"},
    {51,
     "All the data in the table will be erased.\r"
     "Are you sure you want to execute this query?",
     "Alle gegevens in de tabel zullen worden gewist.\r"
     "Weet u echt zeker dat u deze query wilt uitvoeren?"},
    {52, "Name: ", "Naam: "},
    {53, "Value: ", "Waarde: "},
    {54,
     "Select Cancel to skip a parameter.",
     "Selecteer Annuleren om de parameter over te slaan."},
    {55,
     "Enter a boolean value.\r"
     "Yes/TRUE:\tEnter value 1\r"
     "No/FALSE:\tEnter value 0",
     "Vul een Ja/Nee-waarde in.\r"
     "Ja/WAAR:\tvul in de waarde 1\r"
     "Nee/ONWAAR:\tvul in de waarde 0"},
    {56, "The ODBC-connection failed.", "De ODBC-verbinding kan niet tot stand gebracht worden."},
    {57, "Select a valid Access file", "Selecteer een geldig MS Access-bestand"},
    {61, "Open the database...", "Open de database..."},
    {62, "All files", "Alle bestanden"},
    {63, "files", "bestanden"},
    {64, "Workgroup file shortcuts", "Snelkoppeling naar werkgroepbestanden"},
    {65,
     "Select a valid workgroup file shortcut.",
     "Selecteer een geldige werkgroepbestandsnelkoppeling."},
    {66, "Not a valid password.", "Het wachtwoord is onjuist."},
    {71,
     "The combination database password and workgroup security\r"
     "is not supported by the Access ODBC driver!",
     "De combinatie databasewachtwoord met werkgroepbeveiliging\r"
     "wordt niet ondersteund door de Access ODBC driver!"},
    {72,
     "Only the table contents are displayed.\r"
     "A primary key needs to be defined regarding {1} in order to make changes to the table.",
     "Van deze tabel wordt alleen de inhoud getoond.\r"
     "Om mutaties op tabel {1} te kunnen uitvoeren dient er een primaire sleutel voor de tabel te zijn gedefinieerd."},
    {73,
     "Only a contiguous selection is processed.",
     "Alleen een aaneengesloten selectie wordt verwerkt."},
    {74,
     "The record can not be deleted because it\r"
     "has not yet been added to the table.",
     "Het record kan niet worden verwijderd omdat\r"
     "het nog niet is toegevoegd aan de tabel."},
    {75,
     "No rows have been found for deletion.",
     "Er zijn geen regels gevonden om te verwijderen."},
    {76,
     "Are you sure you want to delete this record?",
     "Weet u zeker dat u dit record wilt verwijderen?"},
    {77,
     "Are you sure you want to delete these {1} records?",
     "Weet u zeker dat u deze {1} records wilt verwijderen?"},
    {78, "One record has been deleted.", "Er is één record verwijderd."},
    {79, "{1} records have been deleted.", "Er zijn {1} records verwijderd."},
    {86, "No records were altered.", "Er zijn geen records aangepast."},
    {87, "The mutation is stored in the database.", "De mutatie is verwerkt in de database."},
    {88,
     "The changes are stored in the database.",
     "De wijzigingen zijn verwerkt in de database."},
    {90,
     "Page settings can not be applied\r"
     "since no printers are installed.",
     "Er zijn geen printers geïnstalleerd.\r"
     "De pagina-instellingen kunnen daarom niet worden toegepast."},
    {96,
     "The total number of rows of the generated\r"
     "validation lists is greater than {1}.",
     "Het totale aantal regels m.b.t. de gegeneerde\r"
     "validatielijsten is groter dan {1}."},
    {97, "Invalid input", "Foutieve invoer"},
    {98, "Select a value from the list.", "Kies een waarde uit het keuzelijstje."},
    {99, "Enter an integer", "Vul een geheel getal in."},
    {100, "Enter a positive integer", "Vul een positief geheel getal in."},
    {107, "Select TRUE or FALSE in the list.", "Selecteer WAAR of ONWAAR in het keuzelijstje"},
    {108, "Enter an amount.", "Vul een bedrag in."},
    {109, "Enter a numeric value.", "Vul een numerieke waarde in."},
    {110, "Enter a date.", "Vul een datum in."},
    {111, "Enter a valid time value.", "Vul een geldige tijdswaarde in."},
    {112, "Enter a date/time.", "Vul een datum/tijd in."},
    {113,
     "Enter a valid unique identifier (GUID).\r"
     "A GUID consists of 32 hexadecimal digits and\r"
     "four dashes enclosed by two braces. Format:\r"
     "{12345678-1234-1234-1234-123456789012}",
     "Vul een geldige unique identifier (GUID) in.\r"
     "Een GUID dient te bestaan uit 32 hexadecimale cijfers\r"
     "met 4 streepjes omsloten door accolades. Format:\r"
     "{12345678-1234-1234-1234-123456789012}"},
    {114, "Enter a value.", "Vul een waarde in."},
    {115, "Text is too long", "Te grote tekstlengte"},
    {116,
     "The entered text is too long\r"
     "The text will be truncated to {1} characters.",
     "De ingevoerde tekst is te lang. \r"
     "De tekst zal worden afgekapt na {1} tekens."},
    {122, "&Open database...", "&Open database..."},
    {123, "[Choose]", "[Maak een keuze]"},
    {124, "&Tables", "&Tabellen"},
    {125, "Add re&cord (F6)", "Re&cord toevoegen (F6)"},
    {126, "&Save changes (F7)", "&Mutaties wegschrijven (F7)"},
    {127, "&Delete record(s) (F8)", "Record(s) &verwijderen (F8)"},
    {128, "&Refresh data (F9)", "Vernieuw &gegevens (F9)"},
    {133, "&Execute SQL statement", "Voer &SQL opdracht uit"},
    {134, "&Settings", "&Instellingen"},
    {135, "&Info", "&Informatie"},
    {136, "&Help", "&Help"},
    {138, "&Close", "&Afsluiten"},
    {153,
     "A communication error has occurred.\r"
     "Please verify that you have connectivity\r"
     "to the internet and try again.",
     "Er is een communicatiefout opgetreden.\r"
     "Stel vast dat u met het internet verbonden\r"
     "bent en probeer het opnieuw."},
    {175, "Login", "Login"},
    {176, "Password", "Wachtwoord"},
    {177,
     "System Information is unavailable at this time.",
     "Systeeminformatie is niet beschikbaar."},
    {178, "Name database is mandatory.", "Naam database is verplicht."},
    {179, "Connection established!", "Verbinding is tot stand gebracht!"},
    {182,
     "The following error occurred when opening the connection:\r"
     "{msg 1}\r"
     "\r"
     "Connection string: \r"
     "{1}",
     "Bij het openen van de connectie is de volgende fout opgetreden:\r"
     "{msg 1}\r"
     "\r"
     "Connectiestring: \r"
     "{1}"},
    {183,
     "Available databases can not be displayed:",
     "Beschikbare databases kunnen niet worden getoond:"},
    {184, "Maximum timeout is {1} seconds.", "Maximale timeout bedraagt {1} seconden."},
    {185, "Open an Excel workbook first.", "Open eerst een Excel-werkmap."},
    {186, "Value is mandatory", "Waarde is verplicht"},
    {187, "Enter a value between {1} en {2}", "Vul een waarde in tussen {1} en {2}"},
    {188,
     "The fill color of locked table cells needs\r"
     "to differ from editable table cells.\r"
     "Select a different fill color setting.",
     "De opvulkleur van geblokkeerde tabelcellen dient\r"
     "te verschillen van wijzigbare tabelcellen.\r"
     "Selecteer een andere opvulkleurinstelling."},
    {189,
     "The fill color of edited table cells needs\r"
     "to differ from unedited table cells.\r"
     "Select a different fill color setting.",
     "De opvulkleur van gewijzigde tabelcellen dient\r"
     "te verschillen van ongewijzigde tabelcellen.\r"
     "Selecteer een andere opvulkleurinstelling."},
    {190,
     "The applied filtering will be cleared.\r"
     "Are you sure you want to continue?",
     "De toegepaste filtering zal worden verwijderd.\r"
     "Weet u zeker dat u wilt doorgaan?"},
    {194,
     "The help file can not be found.\r"
     "Please re-install Dalvera or contact\r"
     "{support} if the problem persists.",
     "Het helpbestand is niet aangetroffen.\r"
     "Installeer Dalvera opnieuw of neem contact met\r"
     "{support} als het probleem blijft optreden."},
    {197, "XML Spreadsheet (*.xml),*.xml,", "XML-werkmap (*.xml),*.xml,"},
    {198,
     "Web Archive File (*.mht; *.mhtml),*.mht;*.mhtml,",
     "MHT (*.mht; *.mhtml),*.mht;*.mhtml,"},
    {199, "Web Page (*.htm; *.html),*.htm;*.html,", "Webpagina (*.htm; *.html),*.htm;*.html,"},
    {200, "Text (Tab Delimited) (*.txt),*.txt,", "Tekst (tab is scheidingsteken) (*.txt),*.txt,"},
    {201, "CSV (Comma Delimited) (*.csv),*.csv", "CSV (comma separated values) (*.csv),*.csv"},
    {205, "Colors", "Kleuren"},
    {206, "View", "Weergave"},
    {207, "Other", "Overig"},
    {208,
     "Enter empty value to set up a native connection",
     "Vul lege waarde in om een native connectie op te zetten."},
    {211, "User messages are restored.", "Gebruikersmeldingen zijn hersteld."},
    {212, "Default settings are applied.", "Standaardinstellingen zijn toegepast."},
    {213,
     "Check the checkbox {1} and try again.",
     "Check het selectievakje {1} en probeer het opnieuw."},
    {214,
     "Table {1} has been dropped.\r"
     "Reopen de database.",
     "Tabel {1} is verwijderd.\r"
     "Heropen de database."},
    {215,
     "Table {1} resides in another database\r"
     "{2}",
     "Tabel {1} bevindt zich in een andere database.\r"
     "{2}"},
    {216,
     "{product} does not support running multiple Excel instances simultaneously.\r"
     "Please close all Excel instances and then reopen Excel.",
     "{product} ondersteunt niet dat meerdere Excel-instanties tegelijkertijd geopend zijn.\r"
     "Sluit alle geopende Excel programma's en heropen Excel."},
    {217, "SQLite databases", "SQLite-databases"},
    {218,
     "{product} cannot open MS SQL Server databases yet.\r"
     "Use the variant for database files instead.",
     "{product} kan nog geen MS SQL Server-databases openen.\r"
     "Gebruik de variant voor databasebestanden."},
    {219,
     "These rows were not found in the database; someone else changed or deleted them after they were loaded: "
     "rows {1}.\r"
     "What you typed in them is kept on the sheet and was not written.",
     "Deze rijen zijn niet gevonden in de database; iemand anders heeft ze gewijzigd of verwijderd nadat ze "
     "geladen zijn: rijen {1}.\r"
     "Wat u erin hebt getypt, staat nog op het blad en is niet weggeschreven."},
    {220,
     "{1} of the selected records were not found in the database;\r"
     "someone else deleted or changed them after they were loaded:{2}",
     "{1} van de geselecteerde records zijn niet gevonden in de database;\r"
     "iemand anders heeft ze verwijderd of gewijzigd nadat ze geladen zijn:{2}"},
    {221,
     "The changes could not be stored: the database is busy (another program is using it) or the disk is full.\r"
     "Nothing was written; your changes are still on the sheet. Press F7 to try again.\r\r"
     "{1}",
     "De wijzigingen konden niet worden opgeslagen: de database is bezet (een ander programma gebruikt haar) of de "
     "schijf is vol.\r"
     "Er is niets weggeschreven; uw wijzigingen staan nog op het blad. Druk op F7 om het opnieuw te proberen.\r\r"
     "{1}"},
    {222,
     "The value {1} in column {2} is not a number.\r"
     "Correct it and press F7 again.",
     "De waarde {1} in kolom {2} is geen getal.\r"
     "Verbeter deze en druk opnieuw op F7."},
    {223,
     "The value {1} in column {2} is not a date.\r"
     "Correct it and press F7 again.",
     "De waarde {1} in kolom {2} is geen datum.\r"
     "Verbeter deze en druk opnieuw op F7."},
    {224,
     "The name {1} holds the characters {2}, which no SQL statement can quote.\r"
     "Rename it in the database to show or change this table.",
     "De naam {1} bevat de tekens {2}, die geen SQL-opdracht kan aanhalen.\r"
     "Wijzig de naam in de database om deze tabel te tonen of te wijzigen."},
    {225,
     "A cell is still being edited, so nothing was done.\r"
     "Finish the entry with Enter (or cancel it with Esc), then try again.",
     "Er wordt nog een cel bewerkt; er is daarom niets gedaan.\r"
     "Rond de invoer af met Enter (of annuleer met Esc) en probeer het daarna opnieuw."},
    {226,
     "The database {1} cannot be found.\r"
     "It may have been moved, renamed or deleted.",
     "De database {1} is niet gevonden.\r"
     "Mogelijk is deze verplaatst, hernoemd of verwijderd."},
    {227,
     "The database {1} is locked by another program or user.\r"
     "Try again when it is free.",
     "De database {1} is vergrendeld door een ander programma of een andere gebruiker.\r"
     "Probeer het opnieuw zodra deze vrij is."},
    {228,
     "The database {1} cannot be changed: the file or its folder is read-only,\r"
     "or you have no permission to write there.",
     "De database {1} kan niet worden gewijzigd: het bestand of de map is alleen-lezen,\r"
     "of u hebt daar geen schrijfrechten."},
    {229,
     "The file {1} is not a database that {product} can open.\r"
     "It may have been replaced or damaged.",
     "Het bestand {1} is geen database die {product} kan openen.\r"
     "Mogelijk is het vervangen of beschadigd."},
    {230, "Allowed: from {1} to {2}.", "Toegestaan: van {1} tot en met {2}."},
    {231,
     "A file named \"{1}\" already exists in this place.\r"
     "Do you want to replace it?",
     "Er bestaat op deze plaats al een bestand met de naam \"{1}\".\r"
     "Wilt u het vervangen?"},
    {232, "Workbook (*.xlsx),*.xlsx,", "Werkmap (*.xlsx),*.xlsx,"},
    {233, "Workbook in the older format (*.xls),*.xls,", "Werkmap in de oudere indeling (*.xls),*.xls,"},
    {240,
     "The manual is installed, but this system has no program to open it.\r"
     "Open this file in a web browser:\r"
     "{1}",
     "De handleiding is geïnstalleerd, maar dit systeem heeft geen programma om haar te openen.\r"
     "Open dit bestand in een webbrowser:\r"
     "{1}"},
    {241, "Version {1}", "Versie {1}"},
    {242,
     "The add-in workbook does not say which edition of {title} it is\r"
     "(its Revision Number is {1}; 11, 12, 21 or 22 was expected).\r"
     "Please re-install {title}.",
     "De invoegtoepassing vermeldt niet welke editie van {title} zij is\r"
     "(het revisienummer is {1}; verwacht werd 11, 12, 21 of 22).\r"
     "Installeer {title} opnieuw."},
    {243, "unreadable", "onleesbaar"},
    {244, "{1} GB", "{1} GB"},
    {250,
     "{1} is an MS Access file. It is opened read-only: the file itself is never changed.\r"
     "To edit its data, choose \"Convert to an editable database\".",
     "{1} is een MS Access-bestand. Het is alleen-lezen geopend: het bestand zelf wordt nooit gewijzigd.\r"
     "Kies \"Omzetten naar een bewerkbare database\" om de gegevens te bewerken."},
    {251,
     "The table {1} belongs to an MS Access file that is opened read-only, so it cannot be edited here.\r"
     "Choose \"Convert to an editable database\" to make an editable copy.",
     "De tabel {1} hoort bij een MS Access-bestand dat alleen-lezen is geopend en kan hier niet worden bewerkt.\r"
     "Kies \"Omzetten naar een bewerkbare database\" om een bewerkbare kopie te maken."},
    {252,
     "This statement would change the MS Access file, which is opened read-only.\r"
     "Choose \"Convert to an editable database\" to make an editable copy, and run it there.",
     "Deze opdracht zou het MS Access-bestand wijzigen, dat alleen-lezen is geopend.\r"
     "Kies \"Omzetten naar een bewerkbare database\" om een bewerkbare kopie te maken en voer de opdracht daar uit."},
    {253,
     "Open an MS Access file first; it can then be converted to an editable database.",
     "Open eerst een MS Access-bestand; het kan dan worden omgezet naar een bewerkbare database."},
    {254, "Database (*.sqlite),*.sqlite,", "Database (*.sqlite),*.sqlite,"},
    {255, "Con&vert to an editable database", "Om&zetten naar een bewerkbare database"},
    {256, "Convert to an editable database", "Omzetten naar een bewerkbare database"},
    {257,
     "The file {1} already exists. Choose another name; nothing has been overwritten.",
     "Het bestand {1} bestaat al. Kies een andere naam; er is niets overschreven."},
    {258,
     "The MS Access file has been converted to {1} ({2} tables).\r"
     "The copy is now open for editing.",
     "Het MS Access-bestand is omgezet naar {1} ({2} tabellen).\r"
     "De kopie is nu geopend om te bewerken."},
    {259, "Not everything in the file could be read:", "Niet alles in het bestand kon worden gelezen:"},
    {260,
     "- the field {2} of table {1} holds attachments or several values; it is left empty",
     "- het veld {2} van tabel {1} bevat bijlagen of meerdere waarden; het blijft leeg"},
    {261,
     "- the linked table {1} is left out: its file {2} cannot be found or read",
     "- de gekoppelde tabel {1} is weggelaten: het bestand {2} is niet gevonden of niet leesbaar"},
    {262, "- the table {1} cannot be read: {2}", "- de tabel {1} kan niet worden gelezen: {2}"},
    {263, "- the saved query {1} cannot be rebuilt: {2}", "- de opgeslagen query {1} kan niet worden hersteld: {2}"},
    {264,
     "- the relationship {1} is left out: table {2} has no unique key for it",
     "- de relatie {1} is weggelaten: tabel {2} heeft er geen unieke sleutel voor"},
    {265,
     "- the calculated field {2} of table {1} is left empty: its expression cannot be evaluated",
     "- het berekende veld {2} van tabel {1} blijft leeg: de expressie kan niet worden berekend"},
    {266,
     "The MS Access file {1} is damaged: it cannot be read to the end.\r"
     "Nothing has been opened. Repair the file in the program that made it, or use a backup.",
     "Het MS Access-bestand {1} is beschadigd: het kan niet tot het einde worden gelezen.\r"
     "Er is niets geopend. Herstel het bestand in het programma waarmee het is gemaakt, of gebruik een reservekopie."},
    {267,
     "The password for the MS Access file {1} is not correct (capitals count).\r"
     "Type it again, or choose Cancel to open nothing.",
     "Het wachtwoord voor het MS Access-bestand {1} is onjuist (hoofdletters tellen mee).\r"
     "Typ het opnieuw, of kies Annuleren om niets te openen."},
    {268,
     "The MS Access file {1} cannot be read: it is encrypted with a password, which this program cannot decode, "
     "or it is damaged. Nothing has been opened.\r"
     "If it has a password: open it in the program that made it, remove the password there (or save a copy "
     "without one), and open that file here.",
     "Het MS Access-bestand {1} kan niet worden gelezen: het is met een wachtwoord versleuteld, wat dit programma "
     "niet kan ontcijferen, of het is beschadigd. Er is niets geopend.\r"
     "Als het een wachtwoord heeft: open het in het programma waarmee het is gemaakt, verwijder daar het "
     "wachtwoord (of sla een kopie zonder wachtwoord op) en open dat bestand hier."},
    {270,
     "Enter an ODBC connection string or the name of a data source (DSN).",
     "Voer een ODBC-verbindingstekst of de naam van een gegevensbron (DSN) in."},
    {271,
     "The server {1} refused the user name or password.",
     "De server {1} weigert de gebruikersnaam of het wachtwoord."},
    {272,
     "Cannot connect to the server {1}:\r"
     "{2}\r\r"
     "Check the server, port and database, and whether the server is running.",
     "Kan geen verbinding maken met de server {1}:\r"
     "{2}\r\r"
     "Controleer de server, de poort en de database, en of de server draait."},
    {273,
     "A row you changed is being changed by another user right now (it is locked), so it was not written.\r"
     "Rows above it were stored; it and the rows after it are still on the sheet as you typed them.\r"
     "Press F7 again in a moment.",
     "Een rij die u hebt gewijzigd, wordt op dit moment door een andere gebruiker gewijzigd (zij is vergrendeld) en is "
     "daarom niet weggeschreven.\r"
     "De rijen erboven zijn opgeslagen; deze rij en de rijen erna staan nog op het blad zoals u ze hebt getypt.\r"
     "Druk over een ogenblik opnieuw op F7."},
    {274, "Fill in the server and the database.", "Vul de server en de database in."},
    {275,
     "The port must be a whole number from 1 to 65535.",
     "De poort moet een geheel getal van 1 tot en met 65535 zijn."},
    {276,
     "The ODBC driver {1} is not installed on this computer.\r"
     "Install it (Debian package {2}) and try again.",
     "Het ODBC-stuurprogramma {1} is niet geïnstalleerd op deze computer.\r"
     "Installeer het (Debian-pakket {2}) en probeer het opnieuw."},
    {277,
     "The connection to the server was lost.\r"
     "Nothing you typed is lost: what was not written is still on the sheet. Open the database again and press F7.",
     "De verbinding met de server is verbroken.\r"
     "Er gaat niets verloren van wat u hebt getypt: wat niet is weggeschreven, staat nog op het blad. Open de database "
     "opnieuw en druk op F7."},
    {278,
     "The record is locked: another user is changing it right now. Try again in a moment.",
     "Het record is vergrendeld: een andere gebruiker wijzigt het op dit moment. Probeer het over een ogenblik opnieuw."},
    {290,
     "Loading {1} was cancelled. The sheet stays empty and nothing was written to the database; choose the table "
     "again to load it.",
     "Het laden van {1} is afgebroken. Het blad blijft leeg en er is niets naar de database geschreven; kies de tabel "
     "opnieuw om hem te laden."},
    {291, "Loading the result was cancelled: no result sheet was made.",
     "Het laden van het resultaat is afgebroken: er is geen resultaatblad gemaakt."},
    {292, "Rows read: {1}", "Rijen gelezen: {1}"},
    {293,
     "The added row cannot be taken back: it holds typed data or has been written to the database.\r"
     "Nothing was changed; the undo history ends here.",
     "De toegevoegde rij kan niet worden teruggenomen: er staan getypte gegevens in of ze is al naar de database "
     "geschreven.\r"
     "Er is niets gewijzigd; de geschiedenis van ongedaan maken eindigt hier."},
    {294,
     "The row cannot be added again: the table sheet has changed since. Press F6 to add a row.",
     "De rij kan niet opnieuw worden toegevoegd: het tabelblad is intussen gewijzigd. Druk op F6 om een rij toe te "
     "voegen."},
};

constexpr CaptionText kCaptions[] = {
    {"frmConnect", "Connect to MS SQL Server", "Maak verbinding met MS SQL Server"},
    {"lblConnectKind", "Server kind:", "Soort server:"},
    {"lblConnectServer", "Server:", "Servernaam:"},
    {"lblConnectPort", "Port:", "Poort:"},
    {"lblConnectDatabase", "Database:", "Databasenaam:"},
    {"chkConnectTrusted", "Integrated logon (Kerberos)", "Geïntegreerde aanmelding (Kerberos)"},
    {"fraOther", "Other data source attributes", "Overige databron-eigenschappen"},
    {"frmLogon", "Logon", "Aanmelden"},
    {"chkDontShowAgain", "Don't show this message again", "Deze melding niet meer tonen"},
    {"cmdUndo", "Undo (Ctrl+Z)", "Ongedaan maken (Ctrl+Z)"},
    {"cmdRedo", "Redo (Ctrl+Y)", "Opnieuw (Ctrl+Y)"},
    {"undoAddRecord", "Add record", "Record toevoegen"},
    {"lblFindWhat", "Find what:", "Zoeken naar:"},
    {"chkMatchCase", "Match case", "Identieke hoofdletters/kleine letters"},
    {"chkWholeCell", "Entire cell", "Volledige celinhoud"},
    {"cmdFindNext", "Find next", "Volgende zoeken"},
    {"cmdFindPrevious", "Find previous", "Vorige zoeken"},
    {"lblNotFound", "\"{1}\" was not found.", "\"{1}\" is niet gevonden."},
    {"mnuCut", "Cut", "Knippen"},
    {"mnuCopy", "Copy", "Kopi\u00ebren"},
    {"mnuPaste", "Paste", "Plakken"},
    {"mnuClear", "Clear contents", "Inhoud wissen"},
    {"lblRecords", "Records: {1}", "Aantal records: {1}"},
    {"cmdCancelLoad", "Cancel", "Annuleren"},
    {"frmPassword", "Password required", "Wachtwoord is vereist"},
    {"lblDbPassword", "Enter database password:", "Geef het databasewachtwoord op:"},
    {"frmSettings", "Settings", "Instellingen"},
    {"lblTitleBack", "Fill color field names", "Opvulkleur veldnamen"},
    {"lblTitleFront", "Font color field names", "Tekstkleur veldnamen"},
    {"lblMatrixBack", "Fill color table cell", "Opvulkleur tabelcel"},
    {"lblMatrixFront", "Font color table cell", "Tekstkleur tabelcel"},
    {"lblMatrixBackReadOnly", "Fill color table cell (locked)", "Opvulkleur tabelcel (geblokkeerd)"},
    {"lblMatrixFrontReadOnly", "Font color table cell (locked)", "Tekstkleur tabelcel (geblokkeerd)"},
    {"lblMatrixBackEdited", "Fill color table cell (edited)", "Opvulkleur tabelcel (gewijzigd)"},
    {"lblMatrixFrontEdited", "Font color table cell (edited)", "Tekstkleur tabelcel (gewijzigd)"},
    {"lblMatrixEdges", "Edges table cells", "Randen tabelcellen"},
    {"lblFormBack", "Fill color table sheet", "Opvulkleur tabelwerkblad"},
    {"chkShowHeadings", "Show headings", "Toon rij- en kolomkoppen"},
    {"chkShowFilter", "Show filter", "Toon filter"},
    {"chkShowZeros", "Show zeroes", "Toon nulwaarden"},
    {"chkShowFieldDescription", "Show field description as comment", "Toon veldbeschrijving als opmerking"},
    {"chkFreezeTopRow", "Freeze top row", "Bovenste rij blokkeren"},
    {"lblCellsWarning", "Maximum number of table cells without duration warning", "Maximaal aantal tabelcellen zonder waarschuwing duur"},
    {"cmdRestoreUserMsg", "Restore user messages", "Gebruikersmeldingen herstellen"},
    {"cmdApplyDefaults", "Apply default settings", "Standaardinstellingen toepassen"},
    {"chkAutoAdjustColumnWidths", "Automatically adjust column width of fields", "Kolombreedte van velden automatisch aanpassen"},
    {"chkApplyColumnPropsAccess", "Apply column properties MS Access", "Kolomeigenschappen MS Access toepassen"},
    {"lblFixedColumnWidth", "Fixed column width of fields", "Vaste kolombreedte van velden"},
    // The information dialog.
    {"frmAbout", "About", "Over"},
    {"cmdSysInfo", "&System Info... ", "&Systeeminfo... "},
    // The system information dialog: one caption per fact.
    {"frmSysInfo", "System Information", "Systeeminformatie"},
    {"factos", "Operating system", "Besturingssysteem"},
    {"factkernel", "Kernel", "Systeemkern"},
    {"factcpu", "Processor model", "Processormodel"},
    {"factcpus", "Number of processors", "Aantal processoren"},
    {"factmemory", "Memory", "Geheugen"},
    {"factqt", "Qt version", "Qt-versie"},
    {"factsqlite", "SQLite version", "SQLite-versie"},
};

constexpr bool strictlyAscending() {
    for (size_t i = 1; i < std::size(kMessages); ++i)
        if (kMessages[i - 1].number >= kMessages[i].number) return false;
    return true;
}
static_assert(strictlyAscending(), "message numbers must be unique and in ascending order");

}  // namespace

std::span<const MessageText> MessageTable() { return kMessages; }
std::span<const CaptionText> CaptionTable() { return kCaptions; }

}  // namespace dalvera
