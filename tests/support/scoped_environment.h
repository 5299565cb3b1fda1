#pragma once

#include <QByteArray>
#include <QList>
#include <initializer_list>
#include <utility>

// Sets environment variables, or unsets those given a null value, for as
// long as it lives; what was there before comes back.
class ScopedEnvironment final {
public:
    ScopedEnvironment(std::initializer_list<std::pair<const char*, QByteArray>> values) {
        for (const auto& [name, value] : values) {
            m_saved.append({name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray()});
            set(name, value);
        }
    }
    ~ScopedEnvironment() {
        for (const auto& [name, value] : m_saved) set(name, value);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    static void set(const char* name, const QByteArray& value) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }

    QList<std::pair<const char*, QByteArray>> m_saved;
};
