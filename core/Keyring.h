#pragma once

#include <QString>

#include <optional>

// The desktop's keyring (a Secret Service such as GNOME Keyring or KWallet,
// reached through QtKeychain). Every call waits for the keyring's answer in a
// local event loop: call from a thread with a QCoreApplication around.
class Keyring {
public:
    // Entries are kept under this service name and a key of the caller's.
    explicit Keyring(QString service);

    // Whether a keyring answers; asked once, the answer kept. When it does
    // not, problem() says why.
    bool available();
    QString problem() const { return problem_; }

    // The stored text; nothing when there is no entry (or no keyring).
    std::optional<QString> read(const QString& key);
    // Stores or removes the entry; false (and problem() says why) when the keyring refused.
    bool write(const QString& key, const QString& text);
    bool remove(const QString& key);

private:
    QString service_;
    std::optional<bool> available_;
    QString problem_;
};
