#include "app/archiveprompts.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace kw::app {

using namespace kw::archive;

ContinueAnswer ArchivePromptsQt::askContinue(const ContinueDialog &dlg)
{
    QMessageBox box(QMessageBox::Question, dlg.caption,
                    dlg.errorLabel + QLatin1Char(' ') + dlg.errorText + QLatin1Char('\n') + dlg.fileLabel +
                        QLatin1Char(' ') + dlg.fileName + QLatin1Char('\n') + dlg.sizeAndDate + QStringLiteral("\n\n") +
                        dlg.question,
                    QMessageBox::NoButton, m_parent);
    QPushButton *yes = box.addButton(dlg.yes, QMessageBox::YesRole);
    QPushButton *all = box.addButton(dlg.yesToAll, QMessageBox::AcceptRole);
    QPushButton *no = box.addButton(dlg.no, QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    if (box.clickedButton() == yes)
        return ContinueAnswer::Yes;
    if (box.clickedButton() == all)
        return ContinueAnswer::YesToAll;
    return ContinueAnswer::No; // also when the dialog is closed
}

MessageAnswer ArchivePromptsQt::message(MessageKind kind, const QString &caption, const QString &text,
                                        MessageButtons buttons)
{
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (kind) {
    case MessageKind::Warning: icon = QMessageBox::Warning; break;
    case MessageKind::Error: icon = QMessageBox::Critical; break;
    case MessageKind::Information: icon = QMessageBox::Information; break;
    case MessageKind::Confirmation: icon = QMessageBox::Question; break;
    }
    const QMessageBox::StandardButtons std = buttons == MessageButtons::Ok
                                                 ? QMessageBox::StandardButtons(QMessageBox::Ok)
                                                 : (QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QMessageBox box(icon, caption, text, std, m_parent);
    box.setWindowModality(Qt::ApplicationModal);
    switch (box.exec()) {
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    case QMessageBox::Ok: return MessageAnswer::Ok;
    default: return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
    }
}

bool ArchivePromptsQt::inputLine(const QString &caption, const QString &prompt, QString &value,
                                 const QString &okText, const QString &cancelText)
{
    QInputDialog dlg(m_parent);
    dlg.setWindowTitle(caption);
    dlg.setLabelText(prompt);
    dlg.setTextValue(value);
    dlg.setOkButtonText(okText);
    dlg.setCancelButtonText(cancelText);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    value = dlg.textValue();
    return true;
}

QString ArchivePromptsQt::chooseDirectory(const QString &caption, const QString &startDir)
{
    return QFileDialog::getExistingDirectory(m_parent, caption, startDir, QFileDialog::ShowDirsOnly);
}

QString ArchivePromptsQt::chooseFile(const QString &title, const QString &presetPath)
{
    return QFileDialog::getOpenFileName(m_parent, title, presetPath);
}

} // namespace kw::app
