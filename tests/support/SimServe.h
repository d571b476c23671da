#pragma once
// marrowick-simregistry serve on free loopback ports, for as long as the object lives.
#include "SourceFiles.h"

#include <QProcess>
#include <QTemporaryDir>

namespace marrowick::test {

const QString kSimulator = QStringLiteral(MARROWICK_BIN_DIR "/marrowick-simregistry");

struct SimServe {
    QTemporaryDir dir;
    QProcess process;
    quint16 mllp = 0, soap = 0;
    QString log() const { return dir.filePath(QStringLiteral("received.log")); }
    QString mllpUrl() const { return QStringLiteral("mllp://127.0.0.1:%1").arg(mllp); }
    QString soapUrl() const { return QStringLiteral("http://127.0.0.1:%1/iis").arg(soap); }

    // A --password-env of the extra options names SIM_PASSWORD, which holds password.
    explicit SimServe(const QString& policy, const QStringList& extra = {}, const QString& password = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SIM_PASSWORD"), password);
        process.setProcessEnvironment(env);
        process.start(kSimulator, QStringList{"serve", "--policy", policy, "--answers", source("data/Answer_Sheet.csv"),
                                              "--nicknames", source("tools/deckdata/nicknames.txt"), "--mllp",
                                              "127.0.0.1:0", "--soap", "127.0.0.1:0", "--log", log()} + extra);
        // It tells each port on a line of its own: "mllp 127.0.0.1:40001".
        while ((!mllp || !soap) && process.waitForReadyRead(10000))
            while (process.canReadLine()) {
                const QList<QByteArray> words = process.readLine().trimmed().split(' ');
                (words.value(0) == "mllp" ? mllp : soap) = quint16(words.value(1).split(':').value(1).toUInt());
            }
    }
    ~SimServe()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
};

} // namespace marrowick::test
