#include "platform/MessageBox.h"

#include <QTest>

using namespace tervalia;

// The recording mode is what every window test relies on, so its answers must be exact.
class MessageBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        MessageBox::setTestMode(true);
        MessageBox::reset();
    }

    void answersComeFromTheQueueInOrder()
    {
        MessageBox::queueAnswer(QMessageBox::No);
        MessageBox::queueAnswer(QMessageBox::Yes);
        const auto buttons = QMessageBox::Yes | QMessageBox::No;
        QCOMPARE(MessageBox::show(nullptr, QStringLiteral("um"), {}, QMessageBox::Question, buttons), QMessageBox::No);
        QCOMPARE(MessageBox::show(nullptr, QStringLiteral("dois"), {}, QMessageBox::Question, buttons),
                 QMessageBox::Yes);
        QCOMPARE(MessageBox::pendingAnswers(), 0);
    }

    void withoutQueuedAnswerTheDefaultButtonIsTaken()
    {
        QCOMPARE(MessageBox::show(nullptr, QStringLiteral("ok")), QMessageBox::Ok);
        QCOMPARE(MessageBox::show(nullptr, QStringLiteral("q"), {}, QMessageBox::Question,
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No),
                 QMessageBox::No);
        MessageBox::takeShown();
    }

    void everyMessageIsRecordedWithItsTitle()
    {
        MessageBox::show(nullptr, QStringLiteral("sem título"));
        MessageBox::show(nullptr, QStringLiteral("com título"), QStringLiteral("ERROR"), QMessageBox::Critical);
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].title, QStringLiteral("Tervalia"));
        QCOMPARE(shown[0].icon, QMessageBox::NoIcon);
        QCOMPARE(shown[1].text, QStringLiteral("com título"));
        QCOMPARE(shown[1].title, QStringLiteral("ERROR"));
        QCOMPARE(shown[1].icon, QMessageBox::Critical);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // A box with a blank title is recorded with an empty one, not with the program's default.
    void untitledMessageKeepsItsTitleEmpty()
    {
        QCOMPARE(MessageBox::showUntitled(nullptr, QStringLiteral("criado")), QMessageBox::Ok);
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QString());
        QCOMPARE(shown[0].buttons, QMessageBox::Ok);
    }
};

QTEST_MAIN(MessageBoxTest)
#include "MessageBoxTest.moc"
