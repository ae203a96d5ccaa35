#pragma once

#include <QString>
#include <stdexcept>

namespace components {

// A failure of an outside component, carrying a description written for the
// user. The description reaches the user unchanged through the failure report.
class ComponentError : public std::runtime_error {
public:
    explicit ComponentError(const QString &description)
        : std::runtime_error(description.toStdString()), m_description(description) {}

    const QString &description() const { return m_description; }

private:
    QString m_description;
};

// The component itself has stopped (its process is gone): no later call to
// any of its objects can succeed.
class ComponentStopped : public ComponentError {
public:
    using ComponentError::ComponentError;
};

// The component can take nothing more, yet what it finished before stays
// good and can still be handed on (files complete before their disk filled).
class ComponentFull : public ComponentStopped {
public:
    using ComponentStopped::ComponentStopped;
};

// The database a connection was reading is gone (the server stopped, the
// link broke, the attachment was shut down, the connection was closed): no
// later read through that connection can succeed, whichever table it is for.
class ConnectionLost : public ComponentError {
public:
    using ComponentError::ComponentError;
};

} // namespace components
