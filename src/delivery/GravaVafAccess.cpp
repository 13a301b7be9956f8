#include "GravaVafAccess.h"

#include "net/Servidor.h"
#include "storage/access/EscritorAccess.h"
#include "storage/access/LeitorAccess.h"
#include "storage/Database.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlError>

#include <optional>

namespace tervalia {

using access::Coluna;
using access::Tabela;
using access::TipoColuna;

namespace {

constexpr int linhasPorPulso = 512;

// The SQLite working database keeps dates and times as the export tool writes them:
// "2024-03-05", "14:30:00.1234" or "2024-03-05 14:30:00.1234". A time alone is a time on Access's
// day zero, 1899-12-30, as Access itself stores one.
std::optional<QDateTime> leDataHora(const QString& texto)
{
    static const QRegularExpression forma(
        QStringLiteral(R"(^(?:(-?\d{1,4})-(\d{2})-(\d{2}))?[ T]?(?:(\d{2}):(\d{2}):(\d{2})(?:\.(\d{1,4}))?)?$)"));
    const QRegularExpressionMatch m = forma.match(texto.trimmed());
    if (!m.hasMatch() || texto.trimmed().isEmpty())
        return std::nullopt;
    QDate data(1899, 12, 30);
    if (m.capturedLength(1) > 0)
        data = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    QTime hora(0, 0);
    if (m.capturedLength(4) > 0) {
        const int ms = m.capturedLength(7) > 0 ? m.captured(7).leftJustified(4, QLatin1Char('0')).toInt() / 10 : 0;
        hora = QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(), ms);
    }
    if (!data.isValid() || !hora.isValid())
        return std::nullopt;
    return QDateTime(data, hora, Qt::UTC);
}

// A decimal value as exact text with the column's scale: SQLite gives REAL for the columns of
// numeric affinity (15 significant digits, exact at scale 2 and 4), INTEGER or TEXT for the others.
QString textoDecimal(const QVariant& valor, int escala)
{
    switch (valor.typeId()) {
    case QMetaType::Double:
        return QString::number(valor.toDouble(), 'f', escala);
    case QMetaType::LongLong:
    case QMetaType::Int:
        return QString::number(valor.toLongLong());
    default:
        return valor.toString().trimmed();
    }
}

// The value of one SQLite cell as the writer takes it for the column; an invalid QVariant when it
// cannot be read as that type (the writer then reports the table and column).
QVariant valorAccess(const QVariant& valor, const Coluna& coluna)
{
    if (valor.isNull())
        return QVariant();
    switch (coluna.tipo) {
    case TipoColuna::SimNao:
        return valor.toLongLong() != 0;
    case TipoColuna::Inteiro:
    case TipoColuna::Duplo:
        return valor;
    case TipoColuna::Numerico:
        return textoDecimal(valor, coluna.escala);
    case TipoColuna::DataHora: {
        const std::optional<QDateTime> d = leDataHora(valor.toString());
        return d ? QVariant(*d) : QVariant(valor.toString());
    }
    case TipoColuna::Texto:
    case TipoColuna::Memo:
        return valor.typeId() == QMetaType::QByteArray ? QString::fromUtf8(valor.toByteArray()) : valor.toString();
    case TipoColuna::ObjetoOle:
        return valor.toByteArray();
    }
    return valor;
}

class Gravacao
{
public:
    Gravacao(Connection& vaf, const QString& destino) : m_vaf(vaf), m_escritor(destino, senhaVafAccess()) {}

    bool tabela(const Tabela& layout, const std::function<void()>& pulso)
    {
        if (!m_escritor.iniciaTabela(layout))
            return false;
        QStringList nomes;
        for (const Coluna& c : layout.colunas)
            nomes.append(QStringLiteral("\"%1\"").arg(c.nome));
        QSqlQuery q(m_vaf.database());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT %1 FROM \"%2\"").arg(nomes.join(QStringLiteral(", ")), layout.nome))) {
            m_erro = QStringLiteral("Não foi possível ler a tabela %1 do banco de dados vaf.db.\n%2")
                         .arg(layout.nome, q.lastError().text());
            return false;
        }
        QVariantList linha;
        linha.reserve(layout.colunas.size());
        while (q.next()) {
            linha.clear();
            for (qsizetype i = 0; i < layout.colunas.size(); ++i)
                linha.append(valorAccess(q.value(int(i)), layout.colunas[i]));
            if (!m_escritor.escreveLinha(linha))
                return false;
            if (++m_linhas % linhasPorPulso == 0 && pulso)
                pulso();
        }
        return true;
    }

    bool conclui() { return m_escritor.conclui(); }
    QString erro() const { return m_erro.isEmpty() ? m_escritor.erro() : m_erro; }
    qint64 linhas() const { return m_linhas; }

private:
    Connection& m_vaf;
    access::EscritorAccess m_escritor;
    QString m_erro;
    qint64 m_linhas = 0;
};

} // namespace

QString senhaVafAccess()
{
    return servidor::senhaVaf;
}

ResultadoGravacaoAccess GravaVafAccess(Connection& vaf, const QString& modelo, const QString& destino,
                                       const QStringList& tabelas,
                                       const std::function<void(const QString&)>& tabelaIniciada,
                                       const std::function<void()>& pulso)
{
    ResultadoGravacaoAccess resultado;
    QFile::remove(destino);
    access::LeitorAccess leitor;
    if (!leitor.abre(modelo)) {
        resultado.erro = QStringLiteral("O banco de dados vazio %1 não pôde ser lido. Reinstale o programa.")
                             .arg(QDir::toNativeSeparators(modelo));
        return resultado;
    }
    QList<Tabela> layouts;
    for (const QString& nome : tabelas) {
        const std::optional<Tabela> t = leitor.tabela(nome);
        if (!t) {
            resultado.erro = QStringLiteral("O banco de dados vazio %1 não tem a tabela %2. Reinstale o programa.")
                                 .arg(QDir::toNativeSeparators(modelo), nome);
            return resultado;
        }
        layouts.append(*t);
    }
    Gravacao gravacao(vaf, destino);
    bool ok = true;
    for (const Tabela& t : layouts) {
        if (tabelaIniciada)
            tabelaIniciada(t.nome);
        if (!(ok = gravacao.tabela(t, pulso)))
            break;
    }
    ok = ok && gravacao.conclui();
    resultado.linhas = gravacao.linhas();
    if (!ok) {
        resultado.erro = QStringLiteral("Não foi possível gravar o arquivo %1.\n%2")
                             .arg(QDir::toNativeSeparators(destino), gravacao.erro());
        QFile::remove(destino);
        return resultado;
    }
    resultado.ok = true;
    return resultado;
}

} // namespace tervalia
