#include "delivery/frmEntregas.h"
#include "platform/Browser.h"
#include "storage/Entregas.h"
#include "support/GuiTest.h"
#include "support/TestProgramDir.h"

#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QUrl>

#include <sys/resource.h>

#include <csignal>
#include <memory>

using namespace tervalia;
using test::child;

namespace {
Entrega entrega(const QString& ie, const QString& razao, const QDateTime& quando, const QString& arquivo)
{
    Entrega e;
    e.dataHora = quando;
    e.ie = ie;
    e.razaoSocial = razao;
    e.arquivo = arquivo;
    e.origem = QStringLiteral("/home/contador/") + arquivo;
    e.endereco = QStringLiteral("http://127.0.0.1:8080 /client/xt_upload_simples.php?contador=1&chave=2&gias=");
    e.cabecalhos = "POST /client/xt_upload_simples.php?contador=1&chave=2&gias= HTTP/1.0\r\n";
    e.resposta = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nENTREGA RECEBIDA - PROTOCOLO 2026000004\r\n";
    return e;
}

QString celula(QTableWidget* grid, int linha, int coluna)
{
    return grid->item(linha, coluna) ? grid->item(linha, coluna)->text() : QString();
}
} // namespace

// The list an accountant uses to prove what was sent: order, contents and the folder it opens.
class EntregasJanelaTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<test::TestProgramDir>();
        test::startGuiTest();
    }
    void cleanup()
    {
        test::finishGuiTest();
        m_dir.reset();
    }

    void newestFirstWithWhatWasSent()
    {
        const QDateTime base(QDate(2026, 3, 5), QTime(14, 30));
        Entrega antiga = entrega(QStringLiteral("7001234500028"), QStringLiteral("Mercearia Boa Vista Ltda"), base,
                                 QStringLiteral("VAF.GDB"));
        Entrega nova = entrega(QStringLiteral("7025551230008"), QStringLiteral("Restaurante Sabor de Minas ME"),
                               base.addDays(2), QStringLiteral("Declaração.pdf"));
        Entrega recusada = entrega(QStringLiteral("7025551230008"), QStringLiteral("Restaurante Sabor de Minas ME"),
                                   base.addDays(1), QStringLiteral("Recibo.pdf"));
        recusada.resposta = "HTTP/1.1 200 OK\r\n\r\nARQUIVO INVALIDO - RECIBO\r\n";
        QVERIFY(gravaEntrega(antiga, QByteArrayLiteral("abc")).isEmpty());
        QVERIFY(gravaEntrega(nova, QByteArray(2048, 'x')).isEmpty());
        QVERIFY(gravaEntrega(recusada, QByteArrayLiteral("%PDF")).isEmpty());

        QPointer<frmEntregas> janela = frmEntregas::abrir();
        QCOMPARE(janela->windowTitle(), QStringLiteral("Entregas realizadas neste computador"));
        auto* grid = child<QTableWidget>(janela, "GridEntregas");
        QCOMPARE(grid->rowCount(), 3);
        // The server's answer right after the file, a refusal marked as one.
        QCOMPARE(grid->horizontalHeaderItem(frmEntregas::ColArquivo + 1)->text(),
                 QStringLiteral("Resposta do servidor"));
        QCOMPARE(celula(grid, 1, frmEntregas::ColResposta), QStringLiteral("RECUSADA: ARQUIVO INVALIDO - RECIBO"));
        QVERIFY(grid->item(1, frmEntregas::ColIe)->foreground() != grid->item(0, frmEntregas::ColIe)->foreground());
        QCOMPARE(celula(grid, 0, frmEntregas::ColIe), QStringLiteral("7025551230008"));
        QCOMPARE(celula(grid, 0, frmEntregas::ColArquivo), QStringLiteral("Declaração.pdf"));
        QCOMPARE(celula(grid, 0, frmEntregas::ColData), QStringLiteral("07/03/2026 14:30:00"));
        QCOMPARE(celula(grid, 2, frmEntregas::ColRazaoSocial), QStringLiteral("Mercearia Boa Vista Ltda"));
        QCOMPARE(celula(grid, 2, frmEntregas::ColSha256),
                 QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
        QCOMPARE(celula(grid, 2, frmEntregas::ColTamanho), QStringLiteral("3 bytes"));
        QCOMPARE(celula(grid, 2, frmEntregas::ColResposta), QStringLiteral("ENTREGA RECEBIDA - PROTOCOLO 2026000004"));
        QVERIFY(grid->item(0, frmEntregas::ColIe)->data(Qt::AccessibleTextRole).toString().startsWith(u"IE: "));
        QVERIFY(!child<QLabel>(janela, "lblVazio")->isVisible());

        // The newest is selected; the oldest row opens its own folder.
        grid->selectRow(2);
        QTest::mouseClick(child<QPushButton>(janela, "cmdAbrirPasta"), Qt::LeftButton);
        QCOMPARE(Browser::takeOpened(), QStringList{QUrl::fromLocalFile(antiga.pasta).toString()});
        QVERIFY(QTest::qWaitForWindowActive(janela));
        QTest::keyClick(grid, Qt::Key_Escape);
        QTRY_VERIFY(!janela);
    }

    void emptyListSaysSo()
    {
        frmEntregas* janela = frmEntregas::abrir();
        QVERIFY(child<QLabel>(janela, "lblVazio")->isVisible());
        QVERIFY(!child<QPushButton>(janela, "cmdAbrirPasta")->isEnabled());
    }

    void aFolderRemovedMeanwhileIsReported()
    {
        Entrega e = entrega(QStringLiteral("7001234500028"), QStringLiteral("Mercearia"), QDateTime::currentDateTime(),
                            QStringLiteral("VAF.GDB"));
        QVERIFY(gravaEntrega(e, QByteArrayLiteral("abc")).isEmpty());
        frmEntregas* janela = frmEntregas::abrir();
        QVERIFY(QDir(e.pasta).removeRecursively());
        QTest::mouseClick(child<QPushButton>(janela, "cmdAbrirPasta"), Qt::LeftButton);
        const auto shown = test::takeMessages();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.startsWith(QStringLiteral("A pasta desta entrega não existe mais")));
        QVERIFY(Browser::takeOpened().isEmpty());
    }

    // A disk that fills during the copy: the entry is kept with what the server said, without a
    // copy or half of one, and the entries before it are untouched.
    void aFullDiskKeepsTheEntryWithoutItsCopy()
    {
        Entrega antes = entrega(QStringLiteral("7001234500028"), QStringLiteral("Mercearia"),
                                QDateTime(QDate(2026, 3, 4), QTime(9, 0)), QStringLiteral("a.pdf"));
        QVERIFY(gravaEntrega(antes, QByteArray(100 * 1024, 'a')).isEmpty());
        const QString enviado = m_dir->file(QStringLiteral("VAF.MDB"));
        m_dir->writeFile(QStringLiteral("VAF.MDB"), QByteArray(300 * 1024, 'v'));
        const QFileInfo info(enviado);
        Entrega e = entrega(QStringLiteral("7019876540034"), QStringLiteral("Serralheria"),
                            QDateTime(QDate(2026, 3, 5), QTime(9, 0)), QStringLiteral("VAF.MDB"));
        QString erro;
        {
            rlimit atual{};
            ::getrlimit(RLIMIT_FSIZE, &atual);
            const rlimit cheio{64 * 1024, atual.rlim_max};
            std::signal(SIGXFSZ, SIG_IGN);
            ::setrlimit(RLIMIT_FSIZE, &cheio);
            erro = gravaEntregaDeArquivo(e, enviado, info.size(), info.lastModified());
            ::setrlimit(RLIMIT_FSIZE, &atual);
        }
        QCOMPARE(erro, QStringLiteral("A cópia desta entrega não pôde ser guardada em \"%1\": O disco está cheio: não "
                                      "há espaço para gravar.")
                           .arg(m_dir->file(QStringLiteral("entregas"))));
        const QList<Entrega> lista = listaEntregas();
        QCOMPARE(lista.size(), 2);
        QCOMPARE(lista[0].ie, antes.ie);
        QCOMPARE(lista[0].tamanho, 100 * 1024);
        QCOMPARE(lista[1].primeiraLinhaResposta, QStringLiteral("ENTREGA RECEBIDA - PROTOCOLO 2026000004"));
        QVERIFY(lista[1].sha256.isEmpty());
        QCOMPARE(QDir(lista[1].pasta).entryList(QDir::Files),
                 (QStringList{QStringLiteral("entrega.json"), QStringLiteral("requisicao.txt"),
                              QStringLiteral("resposta.txt")}));
        QCOMPARE(QDir(m_dir->file(QStringLiteral("entregas")))
                     .entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)
                     .size(),
                 2);
    }

private:
    std::unique_ptr<test::TestProgramDir> m_dir;
};

QTEST_MAIN(EntregasJanelaTest)
#include "EntregasJanelaTest.moc"
