#pragma once
// The printer and page layout chosen with "Print Setup". Report printing
// prints with this printer, so a choice made once holds for every report of
// the run. Until the user chooses, the printer shows the paper and margins
// the reports are laid out on (US Letter, half-inch margins), not the print
// system's default; once a window state store is attached, a choice is kept
// there and comes back at the next start.
#include <QString>
#include <memory>

class QPrinter;
class QWidget;

namespace kw::settings { class TIniOut; }

namespace kw::app {

class PrintSetup {
public:
    PrintSetup();
    ~PrintSetup();

    // The printer the reports print with; created on first use (creating
    // one asks the print system for its printers).
    QPrinter &printer();

    // The page set-up dialog (printer, paper, orientation, margins) with OK
    // and Cancel. OK keeps the choice; Cancel leaves the printer as it was.
    // True on OK.
    bool exec(QWidget *owner);

    // True once a paper was chosen in a set-up (this dialog or a preview's),
    // in this run or, with a store, an earlier one; until then reports keep
    // the paper they are designed for.
    bool pageChosen() const { return m_pageChosen; }
    // Marks the printer's page layout as chosen and keeps it in the store.
    void setPageChosen();

    // Where the choice is kept (the main window's registry key). Attaching
    // a store brings back a choice kept there; nullptr keeps nothing.
    void setStore(kw::settings::TIniOut *store);

private:
    void keep();
    void restoreKept();

    std::unique_ptr<QPrinter> m_printer;
    kw::settings::TIniOut *m_store = nullptr;
    bool m_pageChosen = false;
};

} // namespace kw::app
