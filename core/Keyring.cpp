#include "Keyring.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>

namespace {

// Starts the job and waits for its end.
void runToEnd(QKeychain::Job& job)
{
    job.setAutoDelete(false);
    job.setInsecureFallback(false);  // never a plain file of the keychain's own instead
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);  // no keystroke may start another write meanwhile
}

}  // namespace

Keyring::Keyring(QString service) : service_(std::move(service)) { }

bool Keyring::available()
{
    if (!available_) {
        QKeychain::ReadPasswordJob probe(service_);
        probe.setKey(QStringLiteral("availability check"));
        runToEnd(probe);
        available_ = probe.error() == QKeychain::NoError || probe.error() == QKeychain::EntryNotFound;
        if (!*available_)
            problem_ = probe.errorString();
    }
    return *available_;
}

std::optional<QString> Keyring::read(const QString& key)
{
    if (!available())
        return std::nullopt;
    QKeychain::ReadPasswordJob job(service_);
    job.setKey(key);
    runToEnd(job);
    if (job.error() != QKeychain::NoError) {
        if (job.error() != QKeychain::EntryNotFound)
            problem_ = job.errorString();
        return std::nullopt;
    }
    return job.textData();
}

bool Keyring::write(const QString& key, const QString& text)
{
    if (!available())
        return false;
    QKeychain::WritePasswordJob job(service_);
    job.setKey(key);
    job.setTextData(text);
    runToEnd(job);
    if (job.error() != QKeychain::NoError)
        problem_ = job.errorString();
    return job.error() == QKeychain::NoError;
}

bool Keyring::remove(const QString& key)
{
    if (!available())
        return false;
    QKeychain::DeletePasswordJob job(service_);
    job.setKey(key);
    runToEnd(job);
    if (job.error() != QKeychain::NoError && job.error() != QKeychain::EntryNotFound)
        problem_ = job.errorString();
    return job.error() == QKeychain::NoError || job.error() == QKeychain::EntryNotFound;
}
