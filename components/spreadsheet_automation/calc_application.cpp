#include "calc_application.h"

#include "calc_workbook.h"
#include "spare_office.h"

namespace calc {

std::shared_ptr<excel::Workbook> CalcWorkbooks::Add()
{
    return std::make_shared<CalcWorkbook>(m_application.addDocument());
}

CalcApplication::CalcApplication()
    : m_session(SpareOffice::take())
{
    m_fromSpare = m_session != nullptr;
    if (!m_session)
        m_session = OfficeSession::start();
}

CalcApplication::~CalcApplication()
{
    // The start-up check only asks for an application: the spare it got is
    // as good as new.
    if (m_fromSpare && m_documents.empty())
        SpareOffice::giveBack(std::move(m_session));
}

std::shared_ptr<CalcDocument> CalcApplication::addDocument()
{
    auto document = CalcDocument::create(m_session);
    m_documents.push_back(document);
    if (m_visible) {
        document->show();
        m_session->handOverToUser();
    }
    return document;
}

void CalcApplication::setVisible(bool visible)
{
    if (visible && !m_session->canShowWindows())
        throw components::ComponentError(
            QStringLiteral("LibreOffice Calc cannot show the workbook: there is no display to show it on."));
    for (const auto &document : m_documents) {
        if (visible) {
            document->show();
            m_session->handOverToUser();
        } else {
            document->hide();
        }
    }
    m_visible = visible;
}

} // namespace calc
