// Reading and writing what passes over a registry's interface: HL7 segments,
// acknowledgements and the SOAP envelope, each read back as the other end would.
#include "registry/Acknowledgement.h"
#include "registry/Hl7Message.h"
#include "registry/RegistryFault.h"
#include "registry/SoapEnvelope.h"

#include <QtTest>

using namespace marrowick;

namespace {
const QByteArray kVxu = "MSH|^~\\&|MARROWICK|HCH|||20261207+0000||VXU^V04^VXU_V04|CTRL001|T|2.5.1\r"
                        "PID|1||123^^^HCH^MR~R9^^^IIS^SR||O\\S\\NEIL^ANN^B^^^^L|SMITH^JO^^^^^M|20200101|F\n"
                        "RXA|0|1|20200301||110^DTaP^CVX\r\n"
                        "RXA|0|1|20200401||49^Hib^CVX\r";
} // namespace

class TestHl7 : public QObject {
    Q_OBJECT

private slots:
    void fieldsAreReadByHl7Numbers_data()
    {
        QTest::addColumn<QString>("segment");
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("component");
        QTest::addColumn<int>("repetition");
        QTest::addColumn<QString>("expected");
        QTest::newRow("MSH-1 is the separator") << "MSH" << 1 << 1 << 1 << "|";
        QTest::newRow("MSH-2 is not split") << "MSH" << 2 << 1 << 1 << "^~\\&";
        QTest::newRow("MSH-4") << "MSH" << 4 << 1 << 1 << "HCH";
        QTest::newRow("MSH-9.2") << "MSH" << 9 << 2 << 1 << "V04";
        QTest::newRow("second repetition") << "PID" << 3 << 5 << 2 << "SR";
        QTest::newRow("escape undone") << "PID" << 5 << 1 << 1 << "O^NEIL";
        QTest::newRow("past the last field") << "PID" << 40 << 1 << 1 << "";
        QTest::newRow("past the last component") << "PID" << 7 << 3 << 1 << "";
        QTest::newRow("no such segment") << "NK1" << 2 << 1 << 1 << "";
    }
    void fieldsAreReadByHl7Numbers()
    {
        QFETCH(QString, segment);
        QFETCH(int, field);
        QFETCH(int, component);
        QFETCH(int, repetition);
        QFETCH(QString, expected);
        QCOMPARE(Hl7Message::parse(kVxu).value(segment, field, component, repetition), expected);
    }

    void messagesSplitOnEveryLineEnd()
    {
        const Hl7Message m = Hl7Message::parse(kVxu);
        QCOMPARE(m.segments().size(), 4);
        QCOMPARE(m.all(QStringLiteral("RXA")).size(), 2);
        QCOMPARE(m.type(), QStringLiteral("VXU^V04"));
        QCOMPARE(Hl7Message::parse(kVxu).first(QStringLiteral("PID")).repetitions(3), 2);
    }

    void escapesAreUndone_data()
    {
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("meant");
        QTest::newRow("all five") << "\\F\\\\S\\\\R\\\\E\\\\T\\" << "|^~\\&";
        QTest::newRow("unknown kept") << "a\\.br\\b" << "a\\.br\\b";
        QTest::newRow("lone backslash") << "a\\b" << "a\\b";
    }
    void escapesAreUndone()
    {
        QFETCH(QString, sent);
        QFETCH(QString, meant);
        QCOMPARE(hl7Unescape(sent), meant);
    }

    void controlIdIsReplacedInMshOnly()
    {
        const Hl7Message m = Hl7Message::parse(withControlId(kVxu, QStringLiteral("NEW42")));
        QCOMPARE(m.controlId(), QStringLiteral("NEW42"));
        QCOMPARE(m.value(QStringLiteral("MSH"), 11), QStringLiteral("T"));
        QCOMPARE(m.segments().size(), 4);
    }

    void acknowledgementsSayWhetherTheRecordWasTaken_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("rejected");
        QTest::addColumn<QString>("words");
        const QByteArray msh = "MSH|^~\\&|IIS||||x||ACK^V04^ACK|9|T|2.5.1\r";
        QTest::newRow("accepted") << msh + "MSA|AA|1\r" << "AA" << false << "";
        QTest::newRow("warning only") << msh + "MSA|AE|1\rERR||PID^1^5|102^Data type error^HL70357|W\r" << "AE"
                                      << false << "W: Data type error";
        QTest::newRow("error") << msh + "MSA|AE|1\rERR||||E||||Birth date in the future\r" << "AE" << true
                               << "E: Birth date in the future";
        QTest::newRow("refused") << msh + "MSA|AR|1\r" << "AR" << true << "";
        QTest::newRow("original mode") << msh + "MSA|CR|1\r" << "AR" << true << "";
    }
    void acknowledgementsSayWhetherTheRecordWasTaken()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, code);
        QFETCH(bool, rejected);
        QFETCH(QString, words);
        const Acknowledgement ack = Acknowledgement::read(answer);
        QCOMPARE(ack.code, code);
        QCOMPARE(ack.rejected(), rejected);
        QCOMPARE(ack.errorText(), words);
    }

    void anAnswerWithoutMsaIsAProtocolFault()
    {
        try {
            Acknowledgement::read(QByteArray("MSH|^~\\&|IIS\r"));
            QFAIL("no fault");
        } catch (const RegistryFault& fault) {
            QCOMPARE(fault.kind(), RegistryFault::Kind::Protocol);
        }
    }

    void writtenAcknowledgementsReadBack()
    {
        const QList<AckError> errors{{QStringLiteral("E"), QStringLiteral("Rejected | by rule")}};
        const Acknowledgement ack = Acknowledgement::read(
            writeAcknowledgement(Hl7Message::parse(kVxu), QStringLiteral("AR"), errors, QStringLiteral("A1")));
        QCOMPARE(ack.controlId, QStringLiteral("CTRL001"));
        QCOMPARE(ack.errorText(), QStringLiteral("E: Rejected | by rule"));
        QVERIFY(ack.rejected());
    }

    void soapRequestsReadBack()
    {
        SoapRequest sent;
        sent.username = QStringLiteral("u<&>");
        sent.password = QStringLiteral("p\"w");
        sent.facilityId = QStringLiteral("F1");
        sent.hl7Message = QString::fromUtf8(kVxu);
        const auto read = readSoapRequest(writeSoapRequest(sent));
        QVERIFY(read);
        QCOMPARE(read->operation, SoapRequest::Operation::SubmitSingleMessage);
        QCOMPARE(read->password, sent.password);
        QCOMPARE(read->hl7Message, sent.hl7Message); // carriage returns survive the XML
        SoapRequest test{SoapRequest::Operation::ConnectivityTest, QStringLiteral("ping"), {}, {}, {}, {}};
        QCOMPARE(readSoapRequest(writeSoapRequest(test))->echoBack, QStringLiteral("ping"));
    }

    void soapFaultsKeepTheirKindAndWords_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        QTest::newRow("security") << int(SoapFault::Kind::Security) << "SecurityFault";
        QTest::newRow("too large") << int(SoapFault::Kind::MessageTooLarge) << "MessageTooLargeFault";
        QTest::newRow("unknown") << int(SoapFault::Kind::Unknown) << "UnknownFault";
    }
    void soapFaultsKeepTheirKindAndWords()
    {
        QFETCH(int, kind);
        QFETCH(QString, name);
        const SoapFault sent{SoapFault::Kind(kind), QStringLiteral("10"), QStringLiteral("Bad password")};
        const auto read = readSoapResponse(writeSoapFault(sent));
        QVERIFY(read && read->fault);
        QCOMPARE(read->fault->name(), name);
        QCOMPARE(read->fault->reason, sent.reason);
    }

    void answersFromOtherServersAreRead()
    {
        // Another prefix, no declaration, whitespace: a server's own style.
        const QByteArray xml = "<S:Envelope xmlns:S=\"http://www.w3.org/2003/05/soap-envelope\">\n <S:Body>\n"
                               "  <ns2:submitSingleMessageResponse xmlns:ns2=\"urn:cdc:iisb:2011\">\n"
                               "   <ns2:return>MSH|^~\\&amp;|IIS&#xD;MSA|AA|1&#xD;</ns2:return>\n"
                               "  </ns2:submitSingleMessageResponse>\n </S:Body>\n</S:Envelope>";
        const auto read = readSoapResponse(xml);
        QVERIFY(read && !read->fault);
        QCOMPARE(Acknowledgement::read(read->returnText.toUtf8()).code, QStringLiteral("AA"));
        QCOMPARE(readSoapResponse(writeSoapResponse(SoapRequest::Operation::ConnectivityTest, "po\rng"))->returnText,
                 QStringLiteral("po\rng"));
    }

    void garbageIsNotAnAnswer_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("html") << QByteArray("<html><body>502 Bad Gateway</body></html>");
        QTest::newRow("truncated") << QByteArray("<S:Envelope xmlns:S=\"http://www.w3.org/2003/05/soap-envelope\">"
                                                 "<S:Body><x:submitSingleMessageResponse xmlns:x=\"urn:cdc:iisb:2011\">"
                                                 "<x:return>MSH");
        QTest::newRow("other element") << QByteArray("<S:Envelope xmlns:S=\"http://www.w3.org/2003/05/soap-envelope\">"
                                                     "<S:Body><x:hello xmlns:x=\"urn:x\"/></S:Body></S:Envelope>");
    }
    void garbageIsNotAnAnswer()
    {
        QFETCH(QByteArray, xml);
        QString problem;
        QVERIFY(!readSoapResponse(xml, &problem));
        QVERIFY(!problem.isEmpty());
        QVERIFY(!readSoapRequest(xml, &problem));
    }
};

QTEST_GUILESS_MAIN(TestHl7)
#include "test_hl7.moc"
