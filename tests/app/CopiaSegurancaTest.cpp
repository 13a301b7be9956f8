#include "app/Abertura.h"
#include "app/Principal.h"
#include "app/Startup.h"
#include "platform/FileDialog.h"
#include "storage/ArquivoZip.h"
#include "storage/Cadastro.h"
#include "storage/CopiaSegurancaInterna.h"
#include "storage/Database.h"
#include "storage/Entregas.h"
#include "support/GuiTest.h"
#include "support/TestProgramDir.h"

#include <QAction>
#include <QDirIterator>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <memory>

using namespace tervalia;
using test::child;

namespace {
const QString tituloMG = QStringLiteral("Tervalia - MG");

// Every file under the folder (temp/ aside) with its bytes and mode: "nothing changed" is this map
// being equal before and after.
QMap<QString, QByteArray> estado(const QString& pasta)
{
    QMap<QString, QByteArray> mapa;
    QDirIterator it(pasta, QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo f = it.nextFileInfo();
        const QString nome = QDir(pasta).relativeFilePath(f.filePath());
        if (nome.startsWith(QLatin1String("temp")))
            continue;
        QFile arquivo(f.filePath());
        mapa[nome] = f.isDir() ? QByteArray("<pasta>") : (arquivo.open(QIODevice::ReadOnly) ? arquivo.readAll() : "?");
    }
    return mapa;
}

int modo(const QString& caminho)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(caminho).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

QString entrega(const QString& ie, int minuto, const QByteArray& conteudo)
{
    Entrega e;
    e.dataHora = QDateTime(QDate(2025, 3, 14), QTime(10, minuto));
    e.ie = ie;
    e.razaoSocial = QStringLiteral("Restaurante D'Ávila ME");
    e.arquivo = QStringLiteral("Declaração-%1.pdf").arg(minuto);
    e.resposta = "HTTP/1.1 200 OK\r\n\r\nENTREGA RECEBIDA - PROTOCOLO 2025000123\r\n";
    if (!gravaEntrega(e, conteudo).isEmpty())
        qFatal("cannot write a delivery");
    return QFileInfo(e.pasta).fileName();
}

const ContribuinteRecord mercearia{QStringLiteral("7001234500028"),
                                   QStringLiteral("Mercearia Boa Vista Ltda"),
                                   QStringLiteral("18.473.625/0001-36"),
                                   QStringLiteral("4711-3/02"),
                                   QStringLiteral("ABCD1234"),
                                   QStringLiteral("123"),
                                   false};
const ContribuinteRecord restaurante{QStringLiteral("7025551230008"),
                                     QStringLiteral("Restaurante D'Ávila ME"),
                                     QStringLiteral("09.384.756/0001-56"),
                                     QStringLiteral("5611-2/01"),
                                     QStringLiteral("WXYZ9876"),
                                     QString(),
                                     true};

// Root passes every permission check; for as long as this lives the thread's effective
// capabilities lose that, so that a folder without write permission refuses root too.
class SemSuperUsuario
{
public:
    SemSuperUsuario()
    {
        if (::geteuid() != 0) {
            m_ok = true;
            return;
        }
        __user_cap_data_struct dados[2]{};
        if (::syscall(SYS_capget, &m_cabecalho, m_antes) != 0)
            return;
        std::copy(std::begin(m_antes), std::end(m_antes), dados);
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            dados[cap / 32].effective &= ~(1u << (cap % 32));
        m_ok = m_trocou = ::syscall(SYS_capset, &m_cabecalho, dados) == 0;
    }
    ~SemSuperUsuario()
    {
        if (m_trocou)
            ::syscall(SYS_capset, &m_cabecalho, m_antes);
    }
    bool ok() const { return m_ok; }

private:
    __user_cap_header_struct m_cabecalho{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_antes[2]{};
    bool m_ok = false;
    bool m_trocou = false;
};

// Files larger than this fail to be written (EFBIG), as on a full disk.
class LimiteDisco
{
public:
    explicit LimiteDisco(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_antes);
        const rlimit novo{bytes, m_antes.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &novo);
    }
    ~LimiteDisco() { ::setrlimit(RLIMIT_FSIZE, &m_antes); }

private:
    rlimit m_antes{};
};

// A .zip written with the same library, holding the given entries in order.
void escreveZip(const QString& caminho, const QList<std::pair<QString, QByteArray>>& entradas)
{
    QFile f(caminho);
    QVERIFY(f.open(QIODevice::WriteOnly));
    EscritorZip zip;
    QVERIFY(zip.abre(int(f.handle())));
    for (const auto& [nome, dados] : entradas)
        QVERIFY(zip.adicionaDados(nome, dados, QDateTime::currentDateTime()));
    QVERIFY(zip.conclui());
}

QByteArray manifestoPara(int empresas, int arquivos, qint64 bytes)
{
    Manifesto m;
    m.versao = QStringLiteral("1.15.01");
    m.data = QDateTime::currentDateTime();
    m.empresas = empresas;
    m.arquivos = arquivos;
    m.bytes = bytes;
    return copia::manifestoJson(m);
}
} // namespace

class CopiaSegurancaTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void idaEVolta();
    void restauracaoRecusada_data();
    void restauracaoRecusada();
    void copiaRecusada_data();
    void copiaRecusada();

private:
    Principal* abrePrincipal();
    void semeia();
    QList<MessageBox::Shown> executa(const char* acao, const QString& arquivo);

    std::unique_ptr<test::TestProgramDir> m_dir;
    std::unique_ptr<QTemporaryDir> m_fora; // where the backups go
};

void CopiaSegurancaTest::initTestCase()
{
    // A write past the file size limit must fail with EFBIG, not stop the test.
    std::signal(SIGXFSZ, SIG_IGN);
}

void CopiaSegurancaTest::init()
{
    m_dir = std::make_unique<test::TestProgramDir>();
    m_fora = std::make_unique<QTemporaryDir>();
    test::startGuiTest();
}

void CopiaSegurancaTest::cleanup()
{
    test::finishGuiTest();
    ::chmod(QFile::encodeName(m_dir->path()).constData(), 0700);
    ::chmod(QFile::encodeName(m_fora->path()).constData(), 0700);
    m_dir.reset();
    m_fora.reset();
}

Principal* CopiaSegurancaTest::abrePrincipal()
{
    startUp();
    QTest::mouseClick(child<QPushButton>(Abertura::existing(), "Command1"), Qt::LeftButton);
    return Principal::existing();
}

void CopiaSegurancaTest::semeia()
{
    ContadorRecord contador;
    contador.cpfCnpj = QStringLiteral("390.533.447-05");
    contador.razaoNome = QStringLiteral("ANA BEATRIZ CONCEIÇÃO");
    cadastro::replaceContador(contador);
    cadastro::insertContribuinte(mercearia);
    cadastro::insertContribuinte(restaurante);
    m_dir->writeSettings(QStringLiteral("servidor.exemplo"), QStringLiteral("8080"));
}

// Triggers a menu item with the file dialog answered; returns the messages shown.
QList<MessageBox::Shown> CopiaSegurancaTest::executa(const char* acao, const QString& arquivo)
{
    FileDialog::queueAnswer(arquivo);
    child<QAction>(Principal::existing(), acao)->trigger();
    return test::takeMessages();
}

// Backup, changes, restore, through the main window's menu: the database and settings come back,
// the replaced ones are kept, deliveries are merged without overwriting, and the selection goes.
void CopiaSegurancaTest::idaEVolta()
{
    semeia();
    const QString e1 = entrega(restaurante.ie, 1, "PDF um"), e2 = entrega(restaurante.ie, 2, "PDF dois");
    const QString e3 = entrega(mercearia.ie, 3, QByteArray(300000, 'x'));
    const QByteArray iniOriginal = estado(m_dir->path()).value(QStringLiteral("dipam.ini"));
    Principal* p = abrePrincipal();
    const QString destino = m_fora->filePath(QStringLiteral("cópia.zip"));

    // Cancelled from its progress window: no file, nothing left behind.
    QTimer::singleShot(0, this, [] {
        if (QWidget* w = test::topLevel("frmCopiaSeguranca"))
            QTest::mouseClick(child<QPushButton>(w, "cmdCancelar"), Qt::LeftButton);
    });
    QVERIFY(executa("mnCopiaSeguranca", destino).isEmpty());
    QCOMPARE(QDir(m_fora->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    const auto dialogo = FileDialog::takeShown();
    QVERIFY(dialogo.size() == 1 && dialogo[0].save);
    QCOMPARE(QFileInfo(dialogo[0].directory).fileName(), nomePadraoCopia(QDate::currentDate()));

    // Taken while another connection is in the middle of a write: the copy holds committed rows.
    {
        Connection escrevendo;
        escrevendo.begin();
        escrevendo.exec(QStringLiteral("delete from tblContribuinte"));
        const auto ok = executa("mnCopiaSeguranca", destino);
        QCOMPARE(ok.size(), 1);
        QCOMPARE(ok[0].icon, QMessageBox::Information);
        QVERIFY2(ok[0].text.contains(QStringLiteral("Empresas: 2\r\nEntregas: 3")), qPrintable(ok[0].text));
        escrevendo.rollback();
    }
    QCOMPARE(modo(destino), 0600);
    QVERIFY(p->isEnabled());

    // What changes after the backup.
    cadastro::deleteContribuinte(mercearia.ie);
    ContribuinteRecord serralheria = mercearia;
    serralheria.ie = QStringLiteral("7019876540034");
    cadastro::insertContribuinte(serralheria);
    m_dir->writeSettings(QStringLiteral("outro.exemplo"), QStringLiteral("9090"));
    QVERIFY(QDir(QDir(pastaEntregas()).filePath(e1)).removeRecursively());
    m_dir->writeFile(QStringLiteral("entregas/") + e2 + QStringLiteral("/resposta.txt"), "a deste computador");
    const QString e4 = entrega(mercearia.ie, 4, "PDF quatro");
    p->selecionaContribuinte(mercearia.ie, mercearia.razaoSocial, mercearia.chave);

    MessageBox::queueAnswer(QMessageBox::Yes);
    const auto mensagens = executa("mnRestaurarCopia", destino);
    QCOMPARE(mensagens.size(), 2);
    QCOMPARE(mensagens[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QVERIFY(mensagens[0].text.contains(QStringLiteral("Empresas: 2\r\nEntregas: 3")));
    QCOMPARE(mensagens[1].title, tituloMG);
    QVERIFY2(mensagens[1].text.contains(QStringLiteral("Entregas acrescentadas: 1; já existentes neste computador, "
                                                       "mantidas: 2.")),
             qPrintable(mensagens[1].text));

    QCOMPARE(cadastro::listContribuintes(), (QList<ContribuinteRecord>{mercearia, restaurante}));
    QCOMPARE(cadastro::readContador()->razaoNome, QStringLiteral("ANA BEATRIZ CONCEIÇÃO"));
    const auto depois = estado(m_dir->path());
    QCOMPARE(depois.value(QStringLiteral("dipam.ini")), iniOriginal);
    QVERIFY(depois.value(QStringLiteral("dipam.ini.antes-da-restauracao")).contains("outro.exemplo"));
    {
        Connection guardado(QStringLiteral("dipam.db.antes-da-restauracao"));
        QVERIFY(guardado.exec(QStringLiteral("select * from tblContribuinte where IE = '7019876540034'")).next());
    }
    for (const char* nome : {"dipam.db", "dipam.db.antes-da-restauracao", "dipam.ini"})
        QCOMPARE(modo(m_dir->file(QString::fromLatin1(nome))), 0600);
    QCOMPARE(modo(QDir(pastaEntregas()).filePath(e1)), 0700);
    QCOMPARE(depois.value(QStringLiteral("entregas/") + e1 + QStringLiteral("/Declaração-1.pdf")), "PDF um");
    QCOMPARE(depois.value(QStringLiteral("entregas/") + e2 + QStringLiteral("/resposta.txt")), "a deste computador");
    QVERIFY(depois.contains(QStringLiteral("entregas/") + e3 + QStringLiteral("/Declaração-3.pdf")));
    QVERIFY(depois.contains(QStringLiteral("entregas/") + e4 + QStringLiteral("/entrega.json")));
    QVERIFY(!std::any_of(depois.keyBegin(), depois.keyEnd(),
                         [](const QString& n) { return n.startsWith(QLatin1String(".restauracao")); }));
    QVERIFY(child<QLabel>(p, "IESel")->text().isEmpty());
    QVERIFY(p->isEnabled());
}

void CopiaSegurancaTest::restauracaoRecusada_data()
{
    QTest::addColumn<QString>("caso");
    QTest::addColumn<bool>("perguntada"); // the manifest could be read and shown
    QTest::addColumn<QString>("mensagem");

    QTest::newRow("truncada") << "truncada" << false << "O arquivo .zip está danificado ou incompleto.";
    QTest::newRow("zip de outra coisa") << "outra" << false << "não é uma cópia de segurança do Tervalia.";
    QTest::newRow("não é um zip") << "texto" << false << "O arquivo escolhido não é um arquivo .zip.";
    QTest::newRow("nome com ..") << "subida" << true << "nome de arquivo inseguro (\"entregas/../../fora.txt\")";
    QTest::newRow("caminho absoluto") << "absoluto" << true << "nome de arquivo inseguro";
    QTest::newRow("arquivo a mais") << "amais" << true << "(\"leiame.txt\" não faz parte de uma cópia.)";
    QTest::newRow("banco danificado") << "banco" << true << "O banco de dados da cópia de segurança está danificado";
    QTest::newRow("byte trocado") << "byte" << true << "O arquivo .zip está danificado ou incompleto.";
    QTest::newRow("pasta sem permissão") << "permissao" << true << "Não há permissão para gravar nesta pasta.";
    QTest::newRow("disco cheio") << "cheio" << true << "O disco está cheio";
}

// Each refused restore leaves the program directory exactly as it was, and says why.
void CopiaSegurancaTest::restauracaoRecusada()
{
    QFETCH(QString, caso);
    QFETCH(bool, perguntada);
    QFETCH(QString, mensagem);
    semeia();
    entrega(restaurante.ie, 1, QByteArray(50000, 'y'));
    const QString boa = m_fora->filePath(QStringLiteral("boa.zip")), ruim = m_fora->filePath(QStringLiteral("r.zip"));
    QCOMPARE(criaCopiaSeguranca(boa, {}).desfecho, Desfecho::Concluida);
    QFile::copy(boa, ruim);
    const QByteArray um = "1";
    if (caso == QLatin1String("truncada")) {
        QFile(ruim).resize(QFileInfo(boa).size() * 6 / 10);
    } else if (caso == QLatin1String("outra")) {
        escreveZip(ruim, {{QStringLiteral("leiame.txt"), "outra coisa"}});
    } else if (caso == QLatin1String("texto")) {
        QFile f(ruim);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("%PDF-1.4 não é zip") > 0);
    } else if (caso == QLatin1String("subida") || caso == QLatin1String("absoluto") || caso == QLatin1String("amais")) {
        const QString nome = caso == QLatin1String("subida")     ? QStringLiteral("entregas/../../fora.txt")
                             : caso == QLatin1String("absoluto") ? m_fora->filePath(QStringLiteral("fora.txt"))
                                                                 : QStringLiteral("leiame.txt");
        escreveZip(ruim, {{copia::nomeManifesto, manifestoPara(2, 1, 1)}, {nome, um}});
    } else if (caso == QLatin1String("banco")) {
        escreveZip(ruim, {{copia::nomeManifesto, manifestoPara(2, 1, 1)}, {QStringLiteral("dipam.db"), um}});
    } else if (caso == QLatin1String("byte")) {
        QFile f(ruim); // a byte inside the database's compressed data
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        const qsizetype meio = bytes.indexOf("dipam.db") + 300;
        bytes[meio] = char(bytes[meio] ^ 0x55);
        f.seek(0);
        f.write(bytes);
    }
    const auto antes = estado(m_dir->path());
    abrePrincipal();

    std::unique_ptr<SemSuperUsuario> semPrivilegios;
    std::unique_ptr<LimiteDisco> limite;
    if (caso == QLatin1String("permissao")) {
        QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0500) == 0);
        semPrivilegios = std::make_unique<SemSuperUsuario>();
        if (!semPrivilegios->ok())
            QSKIP("running as root, and the effective capabilities cannot be dropped to make permissions count");
    } else if (caso == QLatin1String("cheio")) {
        limite = std::make_unique<LimiteDisco>(8192);
    }
    if (perguntada)
        MessageBox::queueAnswer(QMessageBox::Yes);
    const auto mensagens = executa("mnRestaurarCopia", ruim);
    limite.reset();
    semPrivilegios.reset();

    QCOMPARE(mensagens.size(), perguntada ? 2 : 1);
    QCOMPARE(mensagens.last().title, tituloMG);
    QVERIFY2(mensagens.last().text.contains(mensagem), qPrintable(mensagens.last().text));
    QVERIFY(mensagens.last().text.startsWith(QStringLiteral("A cópia de segurança não")));
    QCOMPARE(estado(m_dir->path()), antes);
    QVERIFY(!QFileInfo::exists(QFileInfo(m_dir->path()).dir().filePath(QStringLiteral("fora.txt"))));
    QVERIFY(!QFileInfo::exists(m_fora->filePath(QStringLiteral("fora.txt"))));
    QVERIFY(Principal::existing()->isEnabled());
}

void CopiaSegurancaTest::copiaRecusada_data()
{
    QTest::addColumn<QString>("caso");
    QTest::addColumn<QString>("mensagem");
    QTest::newRow("pasta sem permissão") << "permissao"
                                         << "Não há permissão para gravar nesta pasta.";
    QTest::newRow("disco cheio") << "cheio"
                                 << "O disco está cheio: não há espaço para gravar.";
    QTest::newRow("banco danificado") << "banco"
                                      << "O banco de dados não pôde ser copiado: O arquivo do banco de dados está "
                                         "danificado ou não é um banco de dados. (file is not a database)";
}

// A backup that cannot be written says why and leaves no file, not even half of one.
void CopiaSegurancaTest::copiaRecusada()
{
    QFETCH(QString, caso);
    QFETCH(QString, mensagem);
    semeia();
    QByteArray aleatorio(400000, Qt::Uninitialized); // not compressible: the archive outgrows the limit
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(aleatorio.data()), aleatorio.size() / 4);
    entrega(restaurante.ie, 1, aleatorio);
    abrePrincipal();
    std::unique_ptr<SemSuperUsuario> semPrivilegios;
    std::unique_ptr<LimiteDisco> limite;
    if (caso == QLatin1String("permissao")) {
        QVERIFY(::chmod(QFile::encodeName(m_fora->path()).constData(), 0500) == 0);
        semPrivilegios = std::make_unique<SemSuperUsuario>();
        if (!semPrivilegios->ok())
            QSKIP("running as root, and the effective capabilities cannot be dropped to make permissions count");
    } else if (caso == QLatin1String("cheio")) {
        limite = std::make_unique<LimiteDisco>(100000);
    } else {
        m_dir->writeFile(QStringLiteral("dipam.db"), QByteArray(8192, 'z'));
    }
    const auto mensagens = executa("mnCopiaSeguranca", m_fora->filePath(QStringLiteral("c.zip")));
    limite.reset();
    semPrivilegios.reset();
    QCOMPARE(mensagens.size(), 1);
    QCOMPARE(mensagens[0].icon, QMessageBox::Critical);
    QVERIFY2(mensagens[0].text.contains(mensagem), qPrintable(mensagens[0].text));
    QCOMPARE(QDir(m_fora->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

QTEST_MAIN(CopiaSegurancaTest)
#include "CopiaSegurancaTest.moc"
