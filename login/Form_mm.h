#pragma once

#include <QChar>
#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

namespace Ui {
class Form_mm;
}

namespace qb {

class Connection;
class Dialogs;
class FailureReport;
class RecordSet;
class StoreError;

// The login dialog. It asks for the password before the main window is shown
// and changes it; the password is kept Base64-encoded in the store's table
// `pass`, which the dialog creates on the first start.
//
// The dialog returns from exec() only after a successful login. Every other
// way out (closing it, the third wrong password) calls endProcess, which the
// program passes as "end the process now".
class Form_mm : public QDialog
{
    Q_OBJECT
public:
    // Outer heights, title bar and borders included: below BitBtn1 and below
    // BitBtn2, each with 50 pixels to spare.
    static constexpr int kCollapsedHeight = 65 + 47 + 50;
    static constexpr int kExpandedHeight = 225 + 40 + 50;
    static constexpr int kMaxPasswordLength = 36;

    Form_mm(Connection& adoConnection1, Dialogs& dialogs, FailureReport& report,
            std::function<void()> showMain, std::function<void()> endProcess, QWidget* parent = nullptr);
    ~Form_mm() override;

    bool expanded() const { return m_expanded; }
    bool loggedIn() const { return m_loggedIn; }
    int attempts() const { return m_attempts; }

    // Every closing passes here: the login's own, the third attempt's, the
    // title bar's and the system's.
    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void readPassword();
    void createPasswordTable(const StoreError& unread);
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void MaskEdit1KeyPress(QChar key);
    void FormClose();

    void applyHeight();
    void centreOnDesktop();

    std::unique_ptr<Ui::Form_mm> m_ui;
    Connection& m_connection;
    Dialogs& m_dialogs;
    FailureReport& m_report;
    std::function<void()> m_showMain;
    std::function<void()> m_endProcess;
    // Child of the dialog, found by its object name "ADOQuery_mm"; stays open
    // on `pass` for as long as the dialog lives.
    RecordSet* m_ADOQuery_mm;

    bool m_expanded = false;
    // Set once the dialog has been placed in the middle with its frame; from
    // then on it stays where the user puts it.
    bool m_centredWithFrame = false;
    bool m_loggedIn = false;
    int m_attempts = 0;
    QString m_password;
    // Whether m_password is what the store holds; false while the stored
    // password could not be read.
    bool m_passwordKnown = false;
    // Why it could not be read, in the user's words.
    QString m_unreadReason;
};

} // namespace qb
