#include "uno_runtime.h"

#include "component_error.h"

#include <cppuhelper/bootstrap.hxx>
#include <csignal>
#include <mutex>

namespace calc {

css::uno::Reference<css::uno::XComponentContext> localUnoContext()
{
    static std::once_flag once;
    static css::uno::Reference<css::uno::XComponentContext> *context = nullptr;
    std::call_once(once, [] {
        // Without it the type libraries are not found and the first remote
        // call crashes the client instead of failing.
        if (qEnvironmentVariableIsEmpty("URE_BOOTSTRAP"))
            qputenv("URE_BOOTSTRAP", "vnd.sun.star.pathname:" LIBREOFFICE_PROGRAM_DIR "/fundamentalrc");
        // A write to the pipe of an office that has died must come back as
        // an error, not end our program.
        std::signal(SIGPIPE, SIG_IGN);
        try {
            context = new css::uno::Reference<css::uno::XComponentContext>(
                cppu::defaultBootstrap_InitialComponentContext());
        } catch (const css::uno::Exception &) {
        }
    });
    if (!context || !context->is())
        throw components::ComponentError(
            QStringLiteral("LibreOffice Calc cannot be used: its runtime (%1) could not be set up.")
                .arg(QStringLiteral(LIBREOFFICE_PROGRAM_DIR)));
    return *context;
}

} // namespace calc
