// Import rate of a GIA pre-formatted file of about 100,000 records, against the sqlite3 program
// running the same statements, values spliced into the text, in one transaction on a copy of the
// same empty database, in the same run. Both databases are compared afterwards.
//
//   bench_gia [records]

#include "delivery/LerArquivoGia.h"
#include "storage/Database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

using namespace tervalia;

namespace {

const QStringList tabelas{"tblContribuinte",     "tblGIA",          "tblDetalhesCFOPs",
                          "tblDetalhesInterUFs", "tblZFM_ALC",      "tblOcorrências",
                          "tblIEsRemetente",     "tblIESubstituto", "tblIRSubstituido",
                          "tblRecibosCredito",   "tblDIPAM",        "tblRegistroExportação"};

// Writes the GIA file (Windows-1252) and the same content as spliced statements (UTF-8).
class Gerador
{
public:
    explicit Gerador(QRandomGenerator& sorte) : m_sorte(sorte) {}

    int gera(int registros, QByteArray& gia, QByteArray& sql)
    {
        m_sql = QStringLiteral("BEGIN;\n");
        int escritos = 0;
        while (escritos < registros)
            escritos += umaGia();
        m_sql += QStringLiteral("COMMIT;\n");
        gia = m_gia;
        sql = m_sql.toUtf8();
        return escritos;
    }

private:
    QString digitos(int n)
    {
        QString s(n, QLatin1Char('0'));
        for (QChar& c : s)
            c = QChar(u'0' + m_sorte.bounded(10));
        return s;
    }
    QString valor() { return QString::number(m_sorte.bounded(100000000)).rightJustified(15, QLatin1Char('0')); }
    static QString comoValor(const QString& v) { return v.left(13) + QLatin1Char('.') + v.mid(13); }
    static QString aspas(QString t) { return t.replace(QLatin1Char('\''), QStringLiteral("''")); }
    void linha(const QString& texto) { m_gia += texto.toLatin1() + "\r\n"; }
    void comando(const QString& texto) { m_sql += texto + QStringLiteral(";\n"); }

    int umaGia()
    {
        int n = 0;
        // One IE in four repeats an earlier one.
        const QString ie = m_ies.isEmpty() || m_sorte.bounded(4) ? digitos(12) : m_ies[m_sorte.bounded(m_ies.size())];
        const QString ieF = ie.left(3) + '.' + ie.mid(3, 3) + '.' + ie.mid(6, 3) + '.' + ie.mid(9, 3);
        const QString cnpj = digitos(14), cnae = digitos(7);
        const QString cnpjF =
            cnpj.left(2) + '.' + cnpj.mid(2, 3) + '.' + cnpj.mid(5, 3) + '/' + cnpj.mid(8, 4) + '-' + cnpj.mid(12, 2);
        const QString cnaeF = cnae.left(4) + '-' + cnae.mid(4, 1) + '/' + cnae.mid(5, 2);
        linha(QStringLiteral("05") + ie + cnpj + cnae + "01" + "200911" + digitos(6) + "01" + "1" + digitos(165 - 52));
        comando("select * from tblContribuinte where IE = '" + ieF + "'");
        if (!m_ies.contains(ie)) {
            m_ies << ie;
            comando("insert into tblContribuinte (IE,CNPJ,CNAE) VALUES ('" + ieF + "','" + cnpjF + "','" + cnaeF +
                    "')");
        }
        ++m_contador;
        const QString N = QString::number(m_contador);
        comando("insert into tblGIA (NroGIA,IE,Tipo,RegTrib,Ref1,Movimento) VALUES (" + N + ",'" + ieF +
                "',01,'01','2009-11-20',1)");
        ++n;
        QString cfopF, uf;
        for (int i = 0; i < 30; ++i, ++n) {
            const QString cfop = digitos(6);
            QString l = "10" + cfop, s;
            for (int k = 0; k < 9; ++k) {
                const QString v = valor();
                l += v;
                s += (k ? "," : "") + comoValor(v);
            }
            linha(l + "0000");
            cfopF = cfop.left(1) + '.' + cfop.mid(1, 3);
            comando(" insert into tblDetalhesCFOPs (NroGIA,CFOP,ValorContábil,BaseCálculo,Imposto,IsentasNãoTrib,"
                    "Outras,ImpostoRetidoST,ImpRetSubstitutoST,ImpRetSubstituido,OutrosImpostos) values (" +
                    N + ",'" + cfopF + "'," + s + ")");
            if (i % 3 == 0) {
                uf = QStringList{"SP", "RJ", "BA", "ES"}[m_sorte.bounded(4)];
                QString li = "14" + uf, si;
                for (int k = 0; k < 9; ++k) {
                    const QString v = valor();
                    li += v;
                    si += (k ? "," : "") + comoValor(v);
                }
                linha(li + "000");
                ++n;
                comando("insert into tblDetalhesInterUFs (NroGIA,CFOP,UF,ValorContábil_1,BaseCálculo_1,"
                        "ValorContábil_2,BaseCálculo_2,Imposto,Outras,ICMSCobradoST,PetróleoEnergia,OutrosProdutos) "
                        "values (" +
                        N + ",'" + cfopF + "','" + uf + "'," + si + ")");
            }
            if (i % 6 == 0) {
                const QString nf = digitos(9), v = valor(), cnpjD = digitos(14), mun = digitos(5);
                linha("18" + nf + "20091105" + v + cnpjD + mun);
                ++n;
                comando("insert into tblZFM_ALC (NroGIA,CFOP,UF,NF,Data,Valor,CNPJDest,MunicípioDest) values  (" + N +
                        ",'" + cfopF + "','" + uf + "','" + nf + "','2009-11-05'," + comoValor(v) + ",'" +
                        cnpjD.left(2) + '.' + cnpjD.mid(2, 3) + '.' + cnpjD.mid(5, 3) + '/' + cnpjD.mid(8, 4) + '-' +
                        cnpjD.mid(12, 2) + "','" + mun + "')");
            }
        }
        for (int i = 0; i < 3; ++i)
            n += ocorrencia(N, ieF, ie);
        for (int i = 0; i < 2; ++i, n += 2) {
            const QString v = valor(), mun = digitos(5);
            linha("30" + QStringLiteral("21") + mun + v);
            comando("insert into tblDIPAM (NroGIA,CódDIPAM,Município,Valor) values (" + N + ",'2.1','" + mun + "'," +
                    comoValor(v) + ")");
            const QString re = digitos(15);
            linha("31" + re);
            comando(" insert into tblRegistroExportação (NroGIA,RE) values (" + N + ",'" + re + "')");
        }
        return n;
    }

    int ocorrencia(const QString& N, const QString& ieF, const QString& ie)
    {
        const QString base =
            QStringLiteral("Art. %1, D'Ouro, Lei 6.763/75").arg(m_sorte.bounded(100)).leftJustified(100);
        const QString texto = QStringLiteral("Crédito de O'Brien, nota %1").arg(digitos(6)).leftJustified(300);
        const QString v = valor();
        linha("20" + QStringLiteral("00219") + v + "1" + base + texto + "0000000000000000");
        comando(" insert into tblOcorrências (NroGIA,CódSubItem,Valor,FLegal,Ocorrência,OpPróprias) values (" + N +
                ",'002.19'," + comoValor(v) + ",'" + aspas(base) + "','" + aspas(texto) + "',1)");
        comando("select max(Código) as maximo from tblOcorrências");
        const QString K = QString::number(++m_ocorrencias);
        const QString nf = digitos(9);
        linha("25" + ie + v);
        comando("insert into tblIEsRemetente (Código,IERemetente,Valor) values (" + K + ",'" + ieF + "'," +
                comoValor(v) + ")");
        linha("26" + ie + nf + "200901" + "200912" + v);
        comando("insert into tblIESubstituto (Código,IESubstituto,DataInicio,DataFim,Valor,NF) values (" + K + ",'" +
                ieF + "','2009-01-20','2009-12-20'," + comoValor(v) + ",'" + nf + "')");
        linha("27" + ie + nf + v);
        comando("insert into tblIRSubstituido (Código,IESubstituido,Valor,NF) values (" + K + ",'" + ieF + "'," +
                comoValor(v) + ",'" + nf + "')");
        linha("28" + QStringLiteral("AB1234567890") + v);
        comando("insert into tblRecibosCredito (Código,CodAutorização,Valor) values (" + K + ",'AB1234567890'," +
                comoValor(v) + ")");
        return 5;
    }

    QRandomGenerator& m_sorte;
    QByteArray m_gia;
    QString m_sql;
    QStringList m_ies;
    int m_contador = 0;
    int m_ocorrencias = 0;
};

QList<QVariantList> conteudo(const QString& banco)
{
    Connection c(banco);
    QList<QVariantList> linhas;
    for (const QString& tabela : tabelas) {
        QSqlQuery q = c.exec("select * from " + tabela + " order by rowid");
        while (q.next()) {
            QVariantList l{tabela};
            for (int i = 0; i < q.record().count(); ++i)
                l << q.value(i);
            linhas << l;
        }
    }
    return linhas;
}

bool copia(const QString& de, const QString& para)
{
    QFile::remove(para);
    return QFile::copy(de, para) && QFile::setPermissions(para, QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int registros = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const QString limpa = QStringLiteral(TERVALIA_DIST_DIR "/gia_limpa.db");
    QTemporaryDir dir;
    QRandomGenerator sorte(20091120);
    QByteArray gia, sql;
    const int escritos = Gerador(sorte).gera(registros, gia, sql);
    const QString arquivoGia = dir.filePath("gia.txt"), script = dir.filePath("gia.sql");
    const QString nosso = dir.filePath("nosso.db"), referencia = dir.filePath("sqlite3.db");
    {
        QFile a(arquivoGia), b(script);
        if (!a.open(QIODevice::WriteOnly) || a.write(gia) != gia.size() || !b.open(QIODevice::WriteOnly) ||
            b.write(sql) != sql.size()) {
            std::fprintf(stderr, "cannot write the input files\n");
            return 1;
        }
    }
    std::printf("GIA file: %d records, %lld bytes\n", escritos, static_cast<long long>(gia.size()));

    double melhorNosso = 1e30, melhorReferencia = 1e30;
    for (int vez = 0; vez < 3; ++vez) {
        if (!copia(limpa, nosso) || !copia(limpa, referencia)) {
            std::fprintf(stderr, "cannot copy %s\n", qPrintable(limpa));
            return 1;
        }
        QElapsedTimer relogio;
        relogio.start();
        const LeituraGia leitura = LerArquivo(arquivoGia, nosso);
        const double tempoNosso = relogio.nsecsElapsed() / 1e9;
        if (!leitura.concluida) {
            std::fprintf(stderr, "import failed: %s\n", qPrintable(leitura.mensagem));
            return 1;
        }

        QProcess sqlite3;
        sqlite3.setStandardInputFile(script);
        sqlite3.setStandardOutputFile(QProcess::nullDevice());
        relogio.restart();
        sqlite3.start(QStringLiteral(TERVALIA_SQLITE3), {QStringLiteral("-bail"), referencia});
        const bool ok = sqlite3.waitForFinished(-1) && sqlite3.exitCode() == 0;
        const double tempoReferencia = relogio.nsecsElapsed() / 1e9;
        if (!ok) {
            std::fprintf(stderr, "sqlite3 failed: %s\n", sqlite3.readAllStandardError().constData());
            return 1;
        }
        std::printf("run %d: import %.3f s (%.0f records/s), sqlite3 %.3f s (%.0f records/s)\n", vez + 1, tempoNosso,
                    escritos / tempoNosso, tempoReferencia, escritos / tempoReferencia);
        melhorNosso = std::min(melhorNosso, tempoNosso);
        melhorReferencia = std::min(melhorReferencia, tempoReferencia);
    }
    const bool iguais = conteudo(nosso) == conteudo(referencia);
    std::printf("best: import %.0f records/s, sqlite3 %.0f records/s, ratio %.2f (goal >= 0.80)\n",
                escritos / melhorNosso, escritos / melhorReferencia, melhorReferencia / melhorNosso);
    std::printf("stored rows identical: %s\n", iguais ? "yes" : "NO");
    const double razao = melhorReferencia / melhorNosso;
    std::printf("BENCH gia: %d records at %.0f records/s = %.2f x sqlite3's rate%s; goal >= 0.80; %s\n", escritos,
                escritos / melhorNosso, razao, iguais ? "" : " (stored rows DIFFER)",
                razao >= 0.8 && iguais ? "met" : "not met");
    return iguais ? 0 : 1;
}
