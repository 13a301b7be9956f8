// The NovaGIA export reader against real Access files of the shared fixtures folder.

#include "taxpayers/ExportacaoNovaGia.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

using namespace tervalia;
using Situacao = LeituraNovaGia::Situacao;

namespace {
QString fixture(const char* nome)
{
    return QDir(QStringLiteral(TERVALIA_FIXTURES_DIR "/access")).filePath(QString::fromLatin1(nome));
}

QList<int> linhasComErro(const QList<EmpresaNovaGia>& empresas)
{
    QList<int> linhas;
    for (int i = 0; i < empresas.size(); ++i) {
        if (empresaComErro(empresas[i]))
            linhas << i + 1;
    }
    return linhas;
}

// What a call writes to the standard error.
template <class F> QByteArray saidaDeErro(F chamada)
{
    QTemporaryDir dir;
    const QByteArray caminho = QFile::encodeName(dir.filePath(QStringLiteral("stderr.txt")));
    std::fflush(stderr);
    const int original = ::dup(STDERR_FILENO);
    FILE* arquivo = std::fopen(caminho.constData(), "w");
    ::dup2(::fileno(arquivo), STDERR_FILENO);
    chamada();
    std::fflush(stderr);
    ::dup2(original, STDERR_FILENO);
    ::close(original);
    std::fclose(arquivo);
    QFile lido(QFile::decodeName(caminho));
    return lido.open(QIODevice::ReadOnly) ? lido.readAll() : QByteArray("(unreadable)");
}
} // namespace

class ExportacaoNovaGiaTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void companiesAsTheFileHoldsThem();
    void wrongRowsOfThePreview();
    void emptyTable();
    void twoThousandCompanies();
    void invalidFiles_data();
    void invalidFiles();
    void libraryMessagesStayOffStandardError();
    void previewCheck_data();
    void previewCheck();
    void messages();
};

void ExportacaoNovaGiaTest::initTestCase()
{
    if (!QFile::exists(fixture("novagia-5.mdb")))
        QFAIL(qPrintable(
            QStringLiteral("The shared Access fixtures are not at %1 (set TERVALIA_FIXTURES_DIR)").arg(fixture(""))));
}

void ExportacaoNovaGiaTest::companiesAsTheFileHoldsThem()
{
    const LeituraNovaGia leitura = lerExportacaoNovaGia(fixture("novagia-5.mdb"));
    QCOMPARE(leitura.situacao, Situacao::Lida);
    const QList<EmpresaNovaGia> esperadas{
        {"0623079040081", "Padaria D'Ouro Ltda", "11.222.333/0001-81", "4721-1/02"},
        {"1864205170010", QStringLiteral("Açougue São João ME"), "23.456.781/0001-29", "4722-9/01"},
        {"7021158300035", "Mercearia Boa Vista Ltda ", "30.512.947/0001-42", "4712-1/00"},
        {"3679082640024", "Supermercado Horizonte Ltda", "41.873.205/0001-69", "4711-3/02"},
        {"5186534710085", "Drogaria Santa Luzia Ltda", "52.094.318/0001-82", "4771-7/01"}};
    QCOMPARE(leitura.empresas, esperadas);
    QCOMPARE(leitura.empresas[2].razaoSocialComBranco(), QStringLiteral("Mercearia Boa Vista Ltda  "));
    QVERIFY(linhasComErro(leitura.empresas).isEmpty());
}

void ExportacaoNovaGiaTest::wrongRowsOfThePreview()
{
    const LeituraNovaGia leitura = lerExportacaoNovaGia(fixture("novagia-erros.mdb"));
    QCOMPARE(leitura.situacao, Situacao::Lida);
    QCOMPARE(leitura.empresas.size(), 4);
    QCOMPARE(leitura.empresas[2].cnpj, QStringLiteral("85.306.174/0001-31"));
    QCOMPARE(leitura.empresas[3].razaoSocial, QStringLiteral("   "));
    QCOMPARE(linhasComErro(leitura.empresas), (QList<int>{3, 4}));
}

void ExportacaoNovaGiaTest::emptyTable()
{
    const LeituraNovaGia leitura = lerExportacaoNovaGia(fixture("novagia-vazio.mdb"));
    QCOMPARE(leitura.situacao, Situacao::Vazia);
    QVERIFY(leitura.empresas.isEmpty());
}

void ExportacaoNovaGiaTest::twoThousandCompanies()
{
    const LeituraNovaGia leitura = lerExportacaoNovaGia(fixture("novagia-2000.mdb"));
    QCOMPARE(leitura.situacao, Situacao::Lida);
    QCOMPARE(leitura.empresas.size(), 2000);
    QSet<QString> ies;
    for (const EmpresaNovaGia& empresa : leitura.empresas)
        ies.insert(empresa.ie);
    QCOMPARE(ies.size(), 2000);
    QVERIFY(linhasComErro(leitura.empresas).isEmpty());
}

void ExportacaoNovaGiaTest::invalidFiles_data()
{
    QTest::addColumn<QString>("arquivo");
    QTest::newRow("Access 97 file without the table") << fixture("nwind.mdb");
    QTest::newRow("Access 2000 file without the table") << fixture("DateTestDatabase.mdb");
    QTest::newRow("missing file") << fixture("nao-existe.mdb");
    QTest::newRow("a folder") << fixture("");
    QTest::newRow("not an Access file") << fixture("README.md");
}

void ExportacaoNovaGiaTest::invalidFiles()
{
    QFETCH(QString, arquivo);
    const LeituraNovaGia leitura = lerExportacaoNovaGia(arquivo);
    QCOMPARE(leitura.situacao, Situacao::ArquivoInvalido);
    QVERIFY(leitura.empresas.isEmpty());
}

void ExportacaoNovaGiaTest::libraryMessagesStayOffStandardError()
{
    QTemporaryDir dir;
    const QString aleatorio = dir.filePath(QStringLiteral("aleatorio.mdb"));
    const QString vazio = dir.filePath(QStringLiteral("vazio.mdb"));
    {
        QFile f(aleatorio);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray bytes(300000, '\0');
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 7919 + (i >> 5) * 104729) % 251);
        f.write(bytes);
        QFile g(vazio);
        QVERIFY(g.open(QIODevice::WriteOnly));
    }
    struct stat antes
    {
    };
    QCOMPARE(::fstat(STDERR_FILENO, &antes), 0);
    QList<Situacao> situacoes;
    const QByteArray escrito = saidaDeErro([&] {
        for (const QString& arquivo :
             {aleatorio, vazio, fixture("nwind.mdb"), fixture("nao-existe.mdb"), fixture("novagia-5.mdb")})
            situacoes << lerExportacaoNovaGia(arquivo).situacao;
    });
    QCOMPARE(escrito, QByteArray());
    QCOMPARE(situacoes, (QList<Situacao>{Situacao::ArquivoInvalido, Situacao::ArquivoInvalido,
                                         Situacao::ArquivoInvalido, Situacao::ArquivoInvalido, Situacao::Lida}));
    // The standard error is the same file again afterwards.
    struct stat depois
    {
    };
    QCOMPARE(::fstat(STDERR_FILENO, &depois), 0);
    QCOMPARE(depois.st_ino, antes.st_ino);
    QCOMPARE(depois.st_dev, antes.st_dev);
}

void ExportacaoNovaGiaTest::previewCheck_data()
{
    QTest::addColumn<QString>("cnpj");
    QTest::addColumn<QString>("razao");
    QTest::addColumn<bool>("comErro");
    QTest::newRow("valid") << "11.222.333/0001-81"
                           << "Padaria" << false;
    QTest::newRow("valid without punctuation") << "11222333000181"
                                               << "Padaria" << false;
    QTest::newRow("wrong check digit") << "11.222.333/0001-82"
                                       << "Padaria" << true;
    QTest::newRow("blanks only") << "11.222.333/0001-81"
                                 << "   " << true;
    QTest::newRow("empty") << "11.222.333/0001-81"
                           << "" << true;
    QTest::newRow("tab only") << "11.222.333/0001-81"
                              << "\t" << true;
    QTest::newRow("name between blanks") << "11.222.333/0001-81"
                                         << "  A  " << false;
}

void ExportacaoNovaGiaTest::previewCheck()
{
    QFETCH(QString, cnpj);
    QFETCH(QString, razao);
    QFETCH(bool, comErro);
    QCOMPARE(empresaComErro({QStringLiteral("0623079040081"), razao, cnpj, QStringLiteral("4721-1/02")}), comErro);
}

void ExportacaoNovaGiaTest::messages()
{
    QCOMPARE(mensagemArquivoNovaGiaInvalido(),
             QStringLiteral("Erro: Arquivo inválido, você deve selecionar um arquivo conforme o manual indicar"));
    QCOMPARE(mensagemArquivoNovaGiaVazio(), QStringLiteral("Erro: Arquivo está vazio"));
}

QTEST_GUILESS_MAIN(ExportacaoNovaGiaTest)
#include "ExportacaoNovaGiaTest.moc"
