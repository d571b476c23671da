#include "PasswordStore.h"

#include <qt6keychain/keychain.h>

namespace marrowick {

QString PasswordStore::service() { return QStringLiteral("Marrowick registry"); }

QString PasswordStore::key(const QString& endpoint, const QString& user)
{
    return user.trimmed() + QLatin1Char('@') + endpoint.trimmed();
}

namespace {
// Jobs delete themselves once finished; a job destroyed while the secret
// store still answers it is not safe, so they are never owned by the store.
// The store is the connection's context: a store that is gone hears nothing.
template <class Job>
void startJob(PasswordStore* store, const QString& key, const std::function<void(Job&)>& finished,
              const std::function<void(Job&)>& prepare = {})
{
    auto* job = new Job(PasswordStore::service());
    job->setAutoDelete(true);
    // Plain text beside the settings is what the store exists to avoid.
    job->setInsecureFallback(false);
    job->setKey(key);
    if (prepare) prepare(*job);
    QObject::connect(job, &QKeychain::Job::finished, store, [job, finished] { finished(*job); });
    job->start();
}

QString problemOf(const QKeychain::Job& job)
{
    return job.error() == QKeychain::NoError ? QString() : job.errorString();
}
} // namespace

void PasswordStore::read(const QString& endpoint, const QString& user, Read done)
{
    startJob<QKeychain::ReadPasswordJob>(this, key(endpoint, user), [done](QKeychain::ReadPasswordJob& job) {
        if (job.error() == QKeychain::NoError)
            done(job.textData(), QString());
        else
            done(std::nullopt, job.error() == QKeychain::EntryNotFound ? QString() : job.errorString());
    });
}

void PasswordStore::write(const QString& endpoint, const QString& user, const QString& password, Done done)
{
    startJob<QKeychain::WritePasswordJob>(
        this, key(endpoint, user),
        [done](QKeychain::Job& finished) {
            if (done) done(problemOf(finished));
        },
        [password](QKeychain::WritePasswordJob& job) { job.setTextData(password); });
}

void PasswordStore::forget(const QString& endpoint, const QString& user, Done done)
{
    startJob<QKeychain::DeletePasswordJob>(this, key(endpoint, user), [done](QKeychain::Job& finished) {
        // Nothing kept is as good as forgotten.
        if (done) done(finished.error() == QKeychain::EntryNotFound ? QString() : problemOf(finished));
    });
}

} // namespace marrowick
