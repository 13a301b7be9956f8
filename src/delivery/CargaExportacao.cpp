#include "CargaExportacao.h"

#include "storage/Database.h"
#include "text/Windows1252.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

namespace tervalia {

namespace {
constexpr int maxRecusadosGuardados = 100;
constexpr int linhasPorPulso = 2000;
constexpr qsizetype linhasPorLote = 100;
constexpr qsizetype tamanhoMaximoLote = 1 << 20;

// Where the row of "INSERT INTO T (...) VALUES (row);" begins, when the line is exactly one such
// statement: the row has no unclosed quote, no comment and no parenthesis that closes early. Such
// lines of one table can run as one statement of many rows; -1 for any other line.
qsizetype inicioDaLinha(QStringView comando)
{
    static const QString valores = QStringLiteral(") VALUES (");
    if (!comando.startsWith(u"INSERT INTO ") || !comando.endsWith(u");"))
        return -1;
    const qsizetype v = comando.indexOf(valores);
    if (v < 0)
        return -1;
    const qsizetype inicio = v + valores.size();
    int profundidade = 0;
    QChar aspas;
    for (qsizetype i = inicio; i < comando.size() - 2; ++i) {
        const QChar c = comando[i];
        if (!aspas.isNull()) {
            if (c == aspas)
                aspas = QChar();
        } else if (c == u'\'' || c == u'"') {
            aspas = c;
        } else if (c == u'(') {
            ++profundidade;
        } else if (c == u')') {
            if (--profundidade < 0)
                return -1;
        } else if ((c == u'-' || c == u'/') && i + 1 < comando.size() &&
                   (comando[i + 1] == u'-' || comando[i + 1] == u'*')) {
            return -1;
        } else if (c == u';') {
            return -1;
        }
    }
    return aspas.isNull() && profundidade == 0 ? inicio : -1;
}

// Runs the lines of one file. Consecutive single-row inserts with the same head run as one
// statement of many rows, which SQLite compiles once; when that statement fails, its lines run one by
// one, so a failing line still fails alone.
class Carga
{
public:
    Carga(Connection& vaf, const QString& tabela, ResultadoCarga& resultado)
        : m_query(vaf.database()), m_tabela(tabela), m_resultado(resultado)
    {
        m_query.setForwardOnly(true);
    }

    void linha(QStringView comando, int numero)
    {
        const qsizetype inicio = inicioDaLinha(comando);
        if (inicio < 0) {
            esvazia();
            sozinha(comando, numero);
            return;
        }
        const QStringView cabeca = comando.first(inicio);
        if (!m_lote.isEmpty() &&
            (cabeca != m_cabeca || m_lote.size() >= linhasPorLote || m_tamanho >= tamanhoMaximoLote))
            esvazia();
        m_cabeca = cabeca;
        m_lote.append({comando, numero});
        m_tamanho += comando.size();
    }

    void esvazia()
    {
        if (m_lote.size() == 1) {
            sozinha(m_lote.first().first, m_lote.first().second);
        } else if (!m_lote.isEmpty()) {
            QString sql;
            sql.reserve(m_tamanho + 3 * m_lote.size());
            sql += m_cabeca;
            for (qsizetype k = 0; k < m_lote.size(); ++k) {
                const QStringView c = m_lote[k].first;
                if (k)
                    sql += QStringLiteral("),(");
                sql += c.sliced(m_cabeca.size(), c.size() - m_cabeca.size() - 2);
            }
            sql += QStringLiteral(");");
            if (m_query.exec(sql)) {
                m_resultado.executados += int(m_lote.size());
            } else {
                for (const auto& [comando, numero] : std::as_const(m_lote))
                    sozinha(comando, numero);
            }
        }
        m_lote.clear();
        m_tamanho = 0;
    }

    void termina() { m_query.finish(); }

private:
    void sozinha(QStringView comando, int numero)
    {
        if (m_query.exec(comando.toString()))
            ++m_resultado.executados;
        else if (++m_resultado.recusados <= maxRecusadosGuardados)
            m_resultado.primeirosRecusados.append({m_tabela, numero, m_query.lastError().text()});
    }

    QSqlQuery m_query;
    QString m_tabela;
    ResultadoCarga& m_resultado;
    QStringView m_cabeca;
    QList<QPair<QStringView, int>> m_lote;
    qsizetype m_tamanho = 0;
};
} // namespace

ResultadoCarga CarregaExportacao(Connection& vaf, const QString& tabela, const QString& arquivo,
                                 const std::function<void()>& pulso)
{
    ResultadoCarga resultado;
    QFile file(arquivo);
    if (!file.open(QIODevice::ReadOnly)) {
        resultado.erro = QStringLiteral("Não foi possível ler o arquivo de exportação %1.\n%2")
                             .arg(QDir::toNativeSeparators(arquivo), file.errorString());
        return resultado;
    }
    const QString texto = decodeWindows1252(file.readAll());
    file.close();
    if (pulso)
        pulso();
    try {
        vaf.begin();
        Carga carga(vaf, tabela, resultado);
        int numero = 0;
        for (const QStringView linha : QStringView(texto).split(u"\r\n")) {
            ++numero;
            const QStringView comando = linha.trimmed();
            if (!comando.isEmpty())
                carga.linha(comando, numero);
            if (pulso && numero % linhasPorPulso == 0)
                pulso();
        }
        carga.esvazia();
        carga.termina();
        if (pulso)
            pulso();
        vaf.commit();
    } catch (const DatabaseError& e) {
        vaf.rollback();
        resultado.erro = QStringLiteral("Não foi possível gravar a tabela %1 no banco de dados vaf.db.\n%2")
                             .arg(tabela, e.description());
    }
    return resultado;
}

} // namespace tervalia
