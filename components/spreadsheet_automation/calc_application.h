#pragma once

#include "calc_document.h"
#include "office_session.h"
#include "spreadsheet_automation.h"

#include <memory>
#include <vector>

namespace calc {

class CalcApplication;

class CalcWorkbooks : public excel::Workbooks {
public:
    explicit CalcWorkbooks(CalcApplication &application) : m_application(application) {}
    std::shared_ptr<excel::Workbook> Add() override;

private:
    CalcApplication &m_application;
};

// "Excel.Application": an office of our own, started when the object is
// created (or ahead of it, see SpareOffice). The office ends with the last object handed out unless a workbook
// has been shown to the user (see OfficeSession).
class CalcApplication : public excel::Application {
public:
    // Takes the spare office when there is one; throws
    // components::ComponentError when no office can be started.
    CalcApplication();
    ~CalcApplication() override;

    excel::Workbooks &workbooks() override { return m_workbooks; }
    void setVisible(bool visible) override;

    std::shared_ptr<CalcDocument> addDocument();
    // The workbook added last, or null. For the read-back only: defined in
    // inspection/, which only tests and benchmarks link.
    std::shared_ptr<CalcDocument> lastDocument() const;
    const OfficeSession &session() const { return *m_session; }

private:
    std::shared_ptr<OfficeSession> m_session;
    CalcWorkbooks m_workbooks{*this};
    // A workbook stays in the application when the caller lets go of it,
    // so that showing the application still shows it.
    std::vector<std::shared_ptr<CalcDocument>> m_documents;
    bool m_visible = false;
    bool m_fromSpare = false;
};

} // namespace calc
