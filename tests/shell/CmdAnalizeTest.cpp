#include "shell/CCmdAnalize.h"

#include <QTest>

#include <string>
#include <vector>

class CmdAnalizeTest : public QObject {
    Q_OBJECT
private slots:
    void recordsByFirstLetter();
    void ignoresWhatIsNoLetter_data();
    void ignoresWhatIsNoLetter();
    void laterParameterOverwritesEitherCase();
};

void CmdAnalizeTest::recordsByFirstLetter() {
    CCmdAnalize cmd;
    cmd.ParseCommandLine({"/s80", "-Q", "photo.jpg"});
    QVERIFY(cmd.Has('s'));
    QCOMPARE(cmd.Value('s'), std::string("80"));
    QVERIFY(cmd.Has('q'));
    QCOMPARE(cmd.Value('Q'), std::string());
    QVERIFY(cmd.Has('p'));
    QCOMPARE(cmd.Value('p'), std::string("hoto.jpg"));
    int seen = 0;
    for (const int32_t flag : cmd.letterFlags) {
        seen += flag;
    }
    QCOMPARE(seen, 3);
}

void CmdAnalizeTest::ignoresWhatIsNoLetter_data() {
    QTest::addColumn<QString>("parameter");
    QTest::newRow("digits") << QStringLiteral("123");
    QTest::newRow("network path") << QStringLiteral("\\\\server\\x");
    QTest::newRow("lone minus") << QStringLiteral("-");
    QTest::newRow("lone slash") << QStringLiteral("/");
    QTest::newRow("empty") << QString();
    QTest::newRow("double minus") << QStringLiteral("--s80");
    QTest::newRow("quote") << QStringLiteral("\"s\"");
    QTest::newRow("multibyte first") << QStringLiteral("写真.jpg");
}

void CmdAnalizeTest::ignoresWhatIsNoLetter() {
    QFETCH(QString, parameter);
    CCmdAnalize cmd;
    cmd.ParseCommandLine({parameter.toStdString()});
    for (const int32_t flag : cmd.letterFlags) {
        QCOMPARE(flag, 0);
    }
    for (const std::string& value : cmd.letterValues) {
        QVERIFY(value.empty());
    }
}

void CmdAnalizeTest::laterParameterOverwritesEitherCase() {
    CCmdAnalize cmd;
    cmd.ParseCommandLine({"-s80", "/Sx", "9", "a"});
    QCOMPARE(cmd.Value('s'), std::string("x"));
    QVERIFY(cmd.Has('a'));
    QCOMPARE(cmd.Value('a'), std::string());
}

QTEST_GUILESS_MAIN(CmdAnalizeTest)
#include "CmdAnalizeTest.moc"
