#pragma once
// The printer and page layout chosen with "Print Setup". Report printing
// prints with this printer, so a choice made once holds for every report of
// the run.
#include <QString>
#include <memory>

class QPrinter;
class QWidget;

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

    // True once a paper was chosen in a set-up (this dialog or a preview's);
    // until then reports keep the paper they are designed for.
    bool pageChosen() const { return m_pageChosen; }
    void setPageChosen() { m_pageChosen = true; }

private:
    std::unique_ptr<QPrinter> m_printer;
    bool m_pageChosen = false;
};

} // namespace kw::app
