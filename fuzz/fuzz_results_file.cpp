// libFuzzer target: arbitrary bytes as a registry's results file. The reader and
// the record checks must end every input in acceptance or a refusal that leaves
// the previous load whole, without a crash, a leak or undefined behaviour.
#include "database/Csv.h"
#include "database/Db.h"
#include "database/EvalDatabase.h"
#include "import/clsProcessResultsFile.h"
#include "platform/FileRefused.h"
#include "platform/NullPlatform.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

using namespace marrowick;

namespace {

struct Setup {
    int argc = 1;
    char name[8] = "fuzz";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    NullPlatform host;
    QTemporaryDir dir;
    QString input = dir.filePath(QStringLiteral("results.txt"));

    Setup()
    {
        installPlatform(&host);
        openEvalDatabase(dir.filePath(QStringLiteral("fuzz.db"))); // throws, and so ends the run, when it cannot
        // Durability is no concern here; speed is.
        run(QStringLiteral("PRAGMA journal_mode = MEMORY"));
        run(QStringLiteral("PRAGMA synchronous = OFF"));
    }
    ~Setup() { closeEvalDatabase(); } // before the folder with its lock goes
};

QString loadedRows()
{
    QString all;
    QSqlQuery rows = run(QStringLiteral("SELECT * FROM IIS_LOADED_CHILD_ALL ORDER BY rowid"));
    while (rows.next())
        for (int i = 0; i < 15; ++i) all += rows.value(i).toString() + QLatin1Char('\x1f');
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Setup setup;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    // The reader on text, as the reference data is read.
    CsvReader text(CsvReader::decode(bytes));
    QStringList fields;
    for (int records = 0; text.next(fields) && records < 100000; ++records) {}

    QFile file(setup.input);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    file.write(bytes);
    file.close();
    const QString before = loadedRows();
    try {
        clsProcessResultsFile().ReadResults(setup.input);
    } catch (const FileRefused&) {
        if (loadedRows() != before) std::abort(); // a refusal changed the previous load
    }
    return 0;
}
