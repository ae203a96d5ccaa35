#include "form2.h"

#include "ui_form2.h"

#include "add_tables.h"
#include "appearance.h"
#include "artwork.h"
#include "form1.h"
#include "guarded_procedure.h"
#include "main_module.h"
#include "platform.h"
#include "spreadsheet_automation.h"
#include "table_export.h"
#include "window_styling.h"

#include <QCloseEvent>
#include <QHeaderView>

namespace {

QString location(const char *procedure)
{
    return frame::procedureLocation(u"Form2", QString::fromLatin1(procedure));
}

Form2 *&instance()
{
    static Form2 *window = nullptr;
    return window;
}

// 6500 twips at 15 twips a pixel.
constexpr int listColumnWidth = 433;

const QString listHeading = QStringLiteral("Select Tables To Import");

} // namespace

Form2::Form2() : m_ui(std::make_unique<Ui::Form2>()), m_pointer(*this)
{
    m_ui->setupUi(this);
    frame::styleWizardWindow(*this);
    // A screen reader names the list by its column's heading.
    m_ui->ListView1->setAccessibleName(listHeading);
    connect(m_ui->PushButton2, &QPushButton::clicked, this, &Form2::PushButton2_Click);
    connect(m_ui->PushButton5, &QPushButton::clicked, this, &Form2::PushButton5_Click);
    connect(m_ui->PushButton8, &QPushButton::clicked, this, &Form2::PushButton8_Click);
    connect(m_ui->PushButton9, &QPushButton::clicked, this, &Form2::PushButton9_Click);
    for (QWidget *button : {m_ui->PushButton2, m_ui->PushButton5, m_ui->PushButton8, m_ui->PushButton9})
        m_pointer.setHoverValue(*button, frame::vbCustom);
    for (QWidget *surface : std::initializer_list<QWidget *>{this, m_ui->ListView1, m_ui->ListView1->viewport()})
        m_pointer.setHoverValue(*surface, frame::vbDefault);
}

void Form2::Form_Load()
{
    frame::GuardedProcedure p(location("Form_Load"));
    p.step(100, [&] { Main::ApplyDefaultColors(*this); });
    p.step(102, [&] { setWindowIcon(Main::applicationIcon()); });
    if (p.test(104, [] { return Main::FileExists(Main::pointerFilePath()); }))
        p.step(106, [&] { m_pointer.setPicture(Main::loadCursorFile(Main::pointerFilePath())); });
    p.step(108, [&] { setWindowTitle(Main::productTitle); });
    p.step(108, [&] { m_ui->ListView1->setHeaderLabels({listHeading}); });
    p.step(108, [&] {
        m_ui->ListView1->header()->setStretchLastSection(false);
        m_ui->ListView1->setColumnWidth(0, listColumnWidth);
    });
    p.step(110, [&] { listTables(form1().login()); });
    p.step(112, [&] { setEnabled(true); });
    p.step(114, [&] { m_pointer.setValue(frame::vbDefault); });
}

void Form2::setAllTicks(const char *procedure, Qt::CheckState state)
{
    frame::GuardedProcedure p(location(procedure));
    p.reportEachStepOnce();
    // The count is held in a full int: lists of more than 32767 tables are
    // ticked like any other.
    const std::optional<int> count = p.value<int>(100, [&] { return m_ui->ListView1->topLevelItemCount(); });
    for (int k = 0; count && k < *count; ++k)
        p.step(102, [&] { m_ui->ListView1->topLevelItem(k)->setCheckState(0, state); });
}

void Form2::PushButton8_Click() { setAllTicks("PushButton8_Click", Qt::Checked); }

void Form2::PushButton9_Click() { setAllTicks("PushButton9_Click", Qt::Unchecked); }

void Form2::PushButton2_Click()
{
    frame::GuardedProcedure p(location("PushButton2_Click"));
    p.step(100, [] { form1().show(); });
    p.step(102, [&] { hide(); });
}

void Form2::PushButton5_Click() { runExport(*this, form1().login()); }

void Form2::listTables(const dbaccess::Login &login)
{
    m_listedDatabase = FireBird::AddTablesToFireBirdListbox(*m_ui->ListView1, login);
}

int Form2::entryCount() const { return m_ui->ListView1->topLevelItemCount(); }

bool Form2::entryTicked(int entry) const
{
    return m_ui->ListView1->topLevelItem(entry - 1)->checkState(0) == Qt::Checked;
}

QString Form2::entryText(int entry) const { return m_ui->ListView1->topLevelItem(entry - 1)->text(0); }

void Form2::setProgressPercent(double percent) { m_ui->ProgressBar1->setPercent(percent); }

void Form2::setProgressText(const QString &text) { m_ui->ProgressBar1->setText(text); }

void Form2::setProgressTextMaker(std::function<QString()> makeText) { m_ui->ProgressBar1->setText(std::move(makeText)); }

void Form2::setPointer(int value) { m_pointer.setValue(value); }

void Form2::restoreIfMinimized()
{
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
}

void Form2::yieldToEvents() { frame::DoEvents(); }

void Form2::closeEvent(QCloseEvent *event)
{
    frame::End();
    // Only a test's terminator returns; the window then stays as it was.
    event->ignore();
}

void Form2::showEvent(QShowEvent *event)
{
    // The spreadsheet application starts while the user ticks tables, so
    // that "Finish" does not wait for it.
    components::Registry::instance().prepare(excel::ApplicationClass);
    QWidget::showEvent(event);
}

Form2::~Form2() = default;

Form2 &form2()
{
    Form2 *&window = instance();
    if (!window) {
        window = new Form2;
        window->Form_Load();
    }
    return *window;
}

bool form2Loaded() { return instance() != nullptr; }

void unloadForm2ForTesting()
{
    delete instance();
    instance() = nullptr;
}
