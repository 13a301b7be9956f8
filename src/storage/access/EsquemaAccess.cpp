#include "EsquemaAccess.h"

#include <QRegularExpression>
#include <QStringList>

namespace tervalia::access {

namespace {

std::optional<Coluna> leColuna(const QString& definicao)
{
    static const QRegularExpression forma(QStringLiteral(R"(^(\w+)\s+(\w+)\s*(?:\(\s*(\d+)\s*(?:,\s*(\d+)\s*)?\))?$)"),
                                          QRegularExpression::UseUnicodePropertiesOption);
    const QRegularExpressionMatch m = forma.match(definicao.simplified());
    if (!m.hasMatch())
        return std::nullopt;
    Coluna c;
    c.nome = m.captured(1);
    const QString tipo = m.captured(2).toUpper();
    const bool temTamanho = m.capturedLength(3) > 0;
    const bool temEscala = m.capturedLength(4) > 0;
    const auto semArgumentos = [&](TipoColuna t) -> std::optional<Coluna> {
        if (temTamanho)
            return std::nullopt;
        c.tipo = t;
        return c;
    };
    if (tipo == QLatin1String("LONG"))
        return semArgumentos(TipoColuna::Inteiro);
    if (tipo == QLatin1String("DOUBLE"))
        return semArgumentos(TipoColuna::Duplo);
    if (tipo == QLatin1String("MEMO"))
        return semArgumentos(TipoColuna::Memo);
    if (tipo == QLatin1String("DATETIME"))
        return semArgumentos(TipoColuna::DataHora);
    if (tipo == QLatin1String("YESNO"))
        return semArgumentos(TipoColuna::SimNao);
    if (tipo == QLatin1String("LONGBINARY"))
        return semArgumentos(TipoColuna::ObjetoOle);
    if (tipo == QLatin1String("TEXT")) {
        c.tipo = TipoColuna::Texto;
        c.tamanho = temTamanho ? m.captured(3).toInt() : 255;
        if (temEscala || c.tamanho < 1 || c.tamanho > 255)
            return std::nullopt;
        return c;
    }
    if (tipo == QLatin1String("DECIMAL")) {
        c.tipo = TipoColuna::Numerico;
        c.precisao = temTamanho ? m.captured(3).toInt() : 18;
        c.escala = temEscala ? m.captured(4).toInt() : 0;
        if (c.precisao < 1 || c.precisao > 28 || c.escala > c.precisao)
            return std::nullopt;
        return c;
    }
    return std::nullopt;
}

// The column definitions of one statement's parentheses, split at the commas outside parentheses.
QStringList partes(const QString& corpo)
{
    QStringList lista;
    int nivel = 0;
    QString atual;
    for (const QChar ch : corpo) {
        if (ch == QLatin1Char('('))
            ++nivel;
        else if (ch == QLatin1Char(')'))
            --nivel;
        if (ch == QLatin1Char(',') && nivel == 0) {
            lista.append(atual.trimmed());
            atual.clear();
        } else {
            atual += ch;
        }
    }
    lista.append(atual.trimmed());
    return lista;
}

QString semComentarios(const QString& ddl)
{
    QStringList linhas;
    for (const QString& linha : ddl.split(QLatin1Char('\n'))) {
        if (!linha.trimmed().startsWith(QLatin1String("--")))
            linhas.append(linha);
    }
    return linhas.join(QLatin1Char('\n'));
}

} // namespace

std::optional<QList<Tabela>> leEsquema(const QString& ddl, QString* erro)
{
    static const QRegularExpression comando(QStringLiteral(R"(^\s*CREATE\s+TABLE\s+(\w+)\s*\((.*)\)\s*$)"),
                                            QRegularExpression::CaseInsensitiveOption |
                                                QRegularExpression::DotMatchesEverythingOption |
                                                QRegularExpression::UseUnicodePropertiesOption);
    const auto falha = [erro](const QString& texto) -> std::optional<QList<Tabela>> {
        if (erro)
            *erro = texto;
        return std::nullopt;
    };
    QList<Tabela> tabelas;
    for (const QString& texto : semComentarios(ddl).split(QLatin1Char(';'))) {
        if (texto.trimmed().isEmpty())
            continue;
        const QRegularExpressionMatch m = comando.match(texto);
        if (!m.hasMatch())
            return falha(QStringLiteral("Comando não reconhecido: %1").arg(texto.simplified().left(80)));
        Tabela tabela{m.captured(1), {}};
        for (const QString& parte : partes(m.captured(2))) {
            const std::optional<Coluna> coluna = leColuna(parte);
            if (!coluna)
                return falha(QStringLiteral("Coluna não reconhecida na tabela %1: %2").arg(tabela.nome, parte));
            tabela.colunas.append(*coluna);
        }
        tabelas.append(tabela);
    }
    if (tabelas.isEmpty())
        return falha(QStringLiteral("Nenhuma tabela definida."));
    return tabelas;
}

} // namespace tervalia::access
