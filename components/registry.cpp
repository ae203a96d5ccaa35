#include "registry.h"

namespace components {

Registry &Registry::instance()
{
    static Registry registry;
    return registry;
}

void Registry::registerFactory(const QString &name, Factory factory)
{
    m_factories[name] = std::move(factory);
}

void Registry::registerPreparation(const QString &name, std::function<void()> preparation)
{
    m_preparations[name] = std::move(preparation);
}

void Registry::prepare(const QString &name) const
{
    const auto it = m_preparations.find(name);
    if (it == m_preparations.end() || !it->second)
        return;
    try {
        it->second();
    } catch (...) {
        // Only a head start is lost: the creation itself reports the fault.
    }
}

Registry::Factory Registry::factory(const QString &name) const
{
    const auto it = m_factories.find(name);
    return it == m_factories.end() ? Factory() : it->second;
}

std::shared_ptr<Object> Registry::create(const QString &name) const
{
    const auto it = m_factories.find(name);
    if (it == m_factories.end())
        throw ComponentError(QStringLiteral("The component \"%1\" is not installed or could not be found.").arg(name));
    auto object = it->second();
    if (!object)
        throw ComponentError(QStringLiteral("The component \"%1\" could not be created.").arg(name));
    return object;
}

} // namespace components
