#include "form1.h"

#include "ui_form1.h"

#include "appearance.h"
#include "artwork.h"
#include "connection_string.h"
#include "database_access.h"
#include "desktop_services.h"
#include "fire_bird.h"
#include "form2.h"
#include "guarded_procedure.h"
#include "guidance.h"
#include "is_installed.h"
#include "main_module.h"
#include "platform.h"
#include "settings_store.h"
#include "window_styling.h"

#include <QCloseEvent>
#include <QTimer>

namespace {

const QString appName = QStringLiteral("Tenvara");
const QString databaseKey = QStringLiteral("FireBirdDatabase");
const QString passwordKey = QStringLiteral("FireBirdPassword");
const QString userKey = QStringLiteral("FireBirdUser");

QString location(const char *procedure)
{
    return frame::procedureLocation(u"Form1", QString::fromLatin1(procedure));
}

Form1 *&instance()
{
    static Form1 *window = nullptr;
    return window;
}

} // namespace

Form1::Form1() : m_ui(std::make_unique<Ui::Form1>()), m_pointer(*this)
{
    m_ui->setupUi(this);
    frame::styleWizardWindow(*this);
    // The password shows one '*' per character, not the platform's bullet.
    m_ui->Text2->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    // A screen reader names each box by its label; the buttons captioned with
    // a symbol would otherwise be read out as punctuation.
    m_ui->Label7->setBuddy(m_ui->Text1);
    m_ui->Label6->setBuddy(m_ui->Text7);
    m_ui->Label1->setBuddy(m_ui->Text2);
    m_ui->PushButton5->setAccessibleName(QStringLiteral("Browse for database"));
    m_ui->PushButton4->setAccessibleName(QStringLiteral("Firebird server help"));
    connectHandlers();
    setUpPointerRules();
}

Form1::~Form1() = default;

QLineEdit &Form1::databaseEntry() { return *m_ui->Text1; }
QLineEdit &Form1::userEntry() { return *m_ui->Text7; }
QLineEdit &Form1::passwordEntry() { return *m_ui->Text2; }

dbaccess::Login Form1::login() const
{
    return dbaccess::enteredLogin(m_ui->Text1->text(), m_ui->Text7->text(), m_ui->Text2->text());
}

void Form1::connectHandlers()
{
    connect(m_ui->Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
    connect(m_ui->Text2, &QLineEdit::textChanged, this, &Form1::Text2_Change);
    connect(m_ui->Text7, &QLineEdit::textChanged, this, &Form1::Text7_Change);
    for (QLineEdit *box : {m_ui->Text1, m_ui->Text2, m_ui->Text7})
        box->installEventFilter(this);
    connect(m_ui->PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(m_ui->PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(m_ui->PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(m_ui->PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(m_ui->PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(m_ui->PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
}

void Form1::setUpPointerRules()
{
    for (QWidget *button : {m_ui->PushButton1, m_ui->PushButton2, m_ui->PushButton3, m_ui->PushButton4,
                            m_ui->PushButton5, m_ui->PushButton7})
        m_pointer.setHoverValue(*button, frame::vbCustom);
    for (QWidget *surface : std::initializer_list<QWidget *>{this, m_ui->Frame1, m_ui->Text1, m_ui->Text2})
        m_pointer.setHoverValue(*surface, frame::vbDefault);
}

void Form1::Form_Load()
{
    frame::GuardedProcedure p(location("Form_Load"));
    p.step(104, [&] { Main::ApplySkin(*this); });
    if (p.test(122, [] { return Main::FileExists(Main::pointerFilePath()); }))
        p.step(124, [&] { m_pointer.setPicture(Main::loadCursorFile(Main::pointerFilePath())); });
    p.step(126, [&] { m_ui->Text1->setText(frame::GetSetting(appName, Main::productTitle, databaseKey, QString())); });
    p.step(128, [&] { m_ui->Text2->setText(frame::GetSetting(appName, Main::productTitle, passwordKey, QString())); });
    p.step(130, [&] { m_ui->Text7->setText(frame::GetSetting(appName, Main::productTitle, userKey, QStringLiteral("SYSDBA"))); });
    if (p.test(132, [&] { return FireBird::CanConnectToFireBird(login()); }))
        p.step(134, [&] { PushButton2_Click(); });
    p.step(136, [&] { setWindowTitle(Main::productTitle); });
    p.step(136, [&] { setWindowIcon(Main::applicationIcon()); });
    p.step(136, [] { Main::SetShortAppTitle(); });
    p.step(138, [] { IsInstalled::CheckExcelInstalled(); });
}

void Form1::closeEvent(QCloseEvent *event)
{
    frame::End();
    // Only a test's terminator returns; the window then stays as it was.
    event->ignore();
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        if (auto *box = qobject_cast<QLineEdit *>(watched)) {
            // Later than the focus event, or a mouse click into the box would
            // undo the selection at once.
            QTimer::singleShot(0, box, [box] { box->selectAll(); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::Text1_Change() { frame::SaveSetting(appName, Main::productTitle, databaseKey, m_ui->Text1->text()); }
void Form1::Text2_Change() { frame::SaveSetting(appName, Main::productTitle, passwordKey, m_ui->Text2->text()); }
void Form1::Text7_Change() { frame::SaveSetting(appName, Main::productTitle, userKey, m_ui->Text7->text()); }

void Form1::PushButton1_Click()
{
    frame::GuardedProcedure p(location("PushButton1_Click"));
    p.step(100, [] { frame::MsgBox(guidance::helpText(), frame::vbOKOnly); });
}

void Form1::PushButton2_Click()
{
    frame::GuardedProcedure p(location("PushButton2_Click"));
    QString reason;
    if (p.test(100, [&] { return FireBird::CanConnectToFireBird(login(), &reason); })) {
        p.step(102, [&] { form2().listTables(login()); });
        p.step(104, [] {
            form2().show();
            // Shown during the start-up load, or while this window hides, it
            // is not activated by itself, and typing would go nowhere until
            // the user clicks into it.
            form2().activateWindow();
        });
        p.step(106, [&] { hide(); });
    } else {
        p.step(108, [&] { frame::MsgBox(FireBird::couldNotConnectText(reason), frame::vbOKOnly); });
    }
}

void Form1::PushButton3_Click()
{
    frame::GuardedProcedure p(location("PushButton3_Click"));
    std::shared_ptr<ado::Connection> connection;
    p.step(100, [&] { connection = components::create<ado::Connection>(ado::ConnectionClass); });
    // From here on a failure does not report: it ends in "Could not connect."
    try {
        m_pointer.setValue(frame::vbHourglass);
        components::required(connection, ado::ConnectionClass).setCursorLocation(ado::adUseServer);
        connection->Open(dbaccess::connectionString(login()));
        frame::MsgBox(QStringLiteral("Connection successful."), frame::vbOKOnly);
        m_pointer.setValue(frame::vbDefault);
    } catch (...) {
        frame::MsgBox(FireBird::couldNotConnectText(frame::describeCurrentException()), frame::vbOKOnly);
        m_pointer.setValue(frame::vbDefault);
    }
}

void Form1::PushButton4_Click()
{
    frame::GuardedProcedure p(location("PushButton4_Click"));
    if (p.test(100, [] { return frame::MsgBox(guidance::serverQuestion(), frame::vbYesNo) == frame::vbYes; }))
        p.step(102, [] { frame::desktop().openUrl(guidance::serverPackagesUrl); });
}

void Form1::PushButton5_Click()
{
    frame::GuardedProcedure p(location("PushButton5_Click"));
    frame::FileDialogSettings &dialog = m_commonDialog;
    p.step(100, [&] { dialog.fileName = QString(); });
    p.step(102, [&] { dialog.flags = guidance::databaseFileFlags; });
    p.step(104, [&] { dialog.dialogTitle = guidance::databaseFileTitle; });
    p.step(106, [&] { dialog.filter = guidance::databaseFileFilter; });
    p.step(108, [&] { dialog.fileName = frame::desktop().showOpen(dialog, this); });
    if (p.test(110, [&] { return !dialog.fileName.isEmpty(); }))
        p.step(112, [&] { m_ui->Text1->setText(dialog.fileName); });
}

void Form1::PushButton7_Click()
{
    frame::GuardedProcedure p(location("PushButton7_Click"));
    p.step(100, [&] { m_ui->Text1->setText(frame::programFolder() + guidance::sampleDatabaseRelativePath); });
    p.step(102, [&] { m_ui->Text7->setText(guidance::sampleUser); });
    p.step(104, [&] { m_ui->Text2->setText(guidance::samplePassword); });
}

Form1 &form1()
{
    Form1 *&window = instance();
    if (!window) {
        // Published before the load, which may reach back to this window
        // (the table list reads the entries while the load is running).
        window = new Form1;
        window->Form_Load();
    }
    return *window;
}

void showStartWindow()
{
    Form1 &window = form1();
    window.show();
    // A saved login that connects has shown the table list during the load;
    // this window still comes up in front of it and takes the keyboard, as on
    // every start, until the user clicks into the list. Without a window
    // manager nothing else raises or activates a window.
    window.raise();
    window.activateWindow();
}

void unloadWindowsForTesting()
{
    delete instance();
    instance() = nullptr;
    unloadForm2ForTesting();
}
