// A registry receiving DupTestData.txt and exporting what it kept, with the
// ground truth of what it did with every test record; or, with serve, the
// same registry behind its test interface.
#include "RegistrySimulator.h"
#include "Serve.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <cstdio>

namespace {
QByteArray readAll(const QString& path, bool& ok)
{
    QFile file(path);
    ok = file.open(QIODevice::ReadOnly);
    return ok ? file.readAll() : QByteArray();
}
bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}
} // namespace

int main(int argc, char* argv[])
{
    using namespace marrowick::sim;
    QCoreApplication app(argc, argv);
    if (argc > 1 && QByteArrayView(argv[1]) == "serve") return serve(app.arguments());
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulates a registry's de-duplication of the Marrowick test file."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("policy"), QStringLiteral("none, exact, typical, aggressive or perfect."),
                      QStringLiteral("NAME")});
    parser.addOption(
        {QStringLiteral("input"), QStringLiteral("The test data file (DupTestData.txt)."), QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("answers"), QStringLiteral("Answer_Sheet.csv, for the perfect policy."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("nicknames"), QStringLiteral("Nickname table of the typical matcher."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("output"), QStringLiteral("Results file to write."), QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("truth"), QStringLiteral("Ground truth to write."), QStringLiteral("FILE")});
    parser.process(app);

    const auto policy = policyNamed(parser.value(QStringLiteral("policy")));
    for (const char* required : {"input", "answers", "nicknames", "output", "truth"}) {
        if (!policy || !parser.isSet(QLatin1String(required))) {
            std::fprintf(stderr,
                         "usage: marrowick-simregistry --policy %s --input FILE --answers FILE --nicknames FILE "
                         "--output FILE --truth FILE\n",
                         qPrintable(policyNames().join(QLatin1Char('|'))));
            return 2;
        }
    }
    bool ok1, ok2, ok3;
    const QByteArray input = readAll(parser.value(QStringLiteral("input")), ok1);
    const QByteArray answers = readAll(parser.value(QStringLiteral("answers")), ok2);
    const QByteArray nicknames = readAll(parser.value(QStringLiteral("nicknames")), ok3);
    if (!ok1 || !ok2 || !ok3) {
        std::fprintf(stderr, "marrowick-simregistry: cannot read an input file\n");
        return 3;
    }
    const RegistrySimulator simulator(*policy, RegistrySimulator::parseNicknames(nicknames),
                                      RegistrySimulator::parseAnswerSheet(answers));
    const Simulation sim = simulator.run(RegistrySimulator::parseTestFile(input));
    if (!writeAll(parser.value(QStringLiteral("output")), sim.resultsFile)
        || !writeAll(parser.value(QStringLiteral("truth")), sim.truth)) {
        std::fprintf(stderr, "marrowick-simregistry: cannot write the output\n");
        return 3;
    }
    return 0;
}
