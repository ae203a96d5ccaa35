#include "calc_failure.h"

#include "office_session.h"

#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/lang/IndexOutOfBoundsException.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/RuntimeException.hpp>
#include <exception>

namespace calc {

void throwCalcFailure(const OfficeSession &session, const QString &action)
{
    try {
        throw;
    } catch (const css::lang::DisposedException &) {
        throw components::ComponentStopped(session.stoppedDescription(action));
    } catch (const css::lang::IndexOutOfBoundsException &) {
        throw components::ComponentError(
            QStringLiteral("LibreOffice Calc could not %1: the position is outside the worksheet.").arg(action));
    } catch (const css::lang::IllegalArgumentException &) {
        throw components::ComponentError(
            QStringLiteral("LibreOffice Calc could not %1: it refused the value given.").arg(action));
    } catch (const css::uno::Exception &) {
        // The office may have gone while the call was under way; say so
        // rather than blame the call.
        if (!session.isRunning())
            throw components::ComponentStopped(session.stoppedDescription(action));
        throw components::ComponentError(QStringLiteral("LibreOffice Calc could not %1.").arg(action));
    } catch (const std::exception &e) {
        throw components::ComponentError(
            QStringLiteral("LibreOffice Calc could not %1: %2").arg(action, QString::fromLocal8Bit(e.what())));
    } catch (...) {
        throw components::ComponentError(QStringLiteral("LibreOffice Calc could not %1.").arg(action));
    }
}

} // namespace calc
