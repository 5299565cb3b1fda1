#pragma once

#include <QString>
#include <exception>

// A failure as the user should read it: the description is the text the
// database driver or the platform gave for it, unchanged.
class Failure : public std::exception {
public:
    explicit Failure(QString description)
        : m_description(std::move(description)), m_utf8(m_description.toUtf8()) {}

    const QString& description() const noexcept { return m_description; }
    // The failure in full, for whoever needs more than the description: a
    // kind of failure with codes of its own adds them here.
    virtual QString details() const { return m_description; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    QByteArray m_utf8;
};
