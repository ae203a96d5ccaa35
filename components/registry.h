#pragma once

#include "component_error.h"

#include <QString>
#include <functional>
#include <map>
#include <memory>

namespace components {

// Every object an outside component creates derives from this, so one
// registry can hand out all of them by name.
class Object {
public:
    virtual ~Object() = default;
};

// Creation by name ("ADODB.Connection", "Excel.Application", ...). Production
// registers the real implementations; tests register fakes under the same
// names. A name nobody registered fails like a missing component.
class Registry {
public:
    using Factory = std::function<std::shared_ptr<Object>()>;

    static Registry &instance();

    void registerFactory(const QString &name, Factory factory);
    // Work that makes a later creation by that name quicker (starting the
    // application ahead of need); run by prepare(), which never fails.
    void registerPreparation(const QString &name, std::function<void()> preparation);
    void prepare(const QString &name) const;
    // The factory registered under the name, or an empty one.
    Factory factory(const QString &name) const;

    std::shared_ptr<Object> create(const QString &name) const;

    template <class T>
    std::shared_ptr<T> create(const QString &name) const
    {
        auto object = std::dynamic_pointer_cast<T>(create(name));
        if (!object)
            throw ComponentError(QStringLiteral("The component \"%1\" does not provide the expected interface.").arg(name));
        return object;
    }

private:
    std::map<QString, Factory> m_factories;
    std::map<QString, std::function<void()>> m_preparations;
};

// The object a step works on. A component that could not be created left
// none, and every step that needs it fails for want of it instead of calling
// through nothing.
template <class T>
T &required(const std::shared_ptr<T> &object, const QString &name)
{
    if (!object)
        throw ComponentError(
            QStringLiteral("This step needs the \"%1\" object, which could not be created.").arg(name));
    return *object;
}

// Convenience for call sites: components::create<ado::Connection>("ADODB.Connection").
template <class T>
std::shared_ptr<T> create(const QString &name)
{
    return Registry::instance().create<T>(name);
}

} // namespace components
