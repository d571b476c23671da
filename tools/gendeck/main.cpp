// Writes the test deck: the reference tables under data/, DupTestData.txt and
// what each record was sent with.
#include "DeckGenerator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <exception>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Generates the Marrowick test deck."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("deckdata"), QStringLiteral("Folder of the name, nickname and vaccine lists."),
                      QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("out"), QStringLiteral("Folder to write the deck into."), QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("seed"), QStringLiteral("Seed of the generator."), QStringLiteral("N"),
                      QStringLiteral("20020625")});
    parser.process(app);
    if (!parser.isSet(QStringLiteral("deckdata")) || !parser.isSet(QStringLiteral("out"))) {
        std::fprintf(stderr, "usage: marrowick-gendeck --deckdata DIR --out DIR [--seed N]\n");
        return 2;
    }
    try {
        using namespace marrowick::deck;
        const DeckData data = DeckData::load(parser.value(QStringLiteral("deckdata")));
        DeckGenerator generator(data, parser.value(QStringLiteral("seed")).toULongLong());
        const Deck deck = generator.generate();
        const QDir out(parser.value(QStringLiteral("out")));
        QDir().mkpath(out.path());
        auto files = DeckGenerator::render(deck, data);
        files.insert(QStringLiteral("DupTestSubmission.csv"), DeckGenerator::renderSubmissions(deck, data));
        for (auto it = files.begin(); it != files.end(); ++it) {
            QFile file(out.filePath(it.key()));
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(it.value()) != it.value().size()) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
                return 3;
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "marrowick-gendeck: %s\n", error.what());
        return 3;
    }
    return 0;
}
