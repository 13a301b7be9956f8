#include "LinhaCertificado.h"

namespace tervalia {

namespace {
QString semAcentos(const QString& texto)
{
    QString simples;
    for (QChar c : texto.normalized(QString::NormalizationForm_D)) {
        if (c.category() != QChar::Mark_NonSpacing)
            simples += c;
    }
    return simples.toCaseFolded();
}

QString somenteDigitos(const QString& texto)
{
    QString digitos;
    for (QChar c : texto) {
        if (c.isDigit())
            digitos += c;
    }
    return digitos;
}

// CNPJ and CPF digits with their usual punctuation; anything else as it is.
QString documentoFormatado(const QString& d)
{
    if (d.size() == 14)
        return QStringLiteral("%1.%2.%3/%4-%5").arg(d.left(2), d.mid(2, 3), d.mid(5, 3), d.mid(8, 4), d.mid(12));
    if (d.size() == 11)
        return QStringLiteral("%1.%2.%3-%4").arg(d.left(3), d.mid(3, 3), d.mid(6, 3), d.mid(9));
    return d;
}

QString dataCurta(const QDateTime& momento)
{
    return momento.toLocalTime().toString(QStringLiteral("dd/MM/yyyy"));
}
} // namespace

LinhaCertificado descreveCertificado(const certstore::Certificate& c, const QDateTime& agora)
{
    using Situacao = LinhaCertificado::Situacao;
    LinhaCertificado l;
    l.titular = c.holder;
    l.documento = documentoFormatado(c.document);
    l.emissor = c.issuerName;
    l.validoDe = dataCurta(c.validFrom);
    l.validoAte = dataCurta(c.validUntil);
    const qint64 dias = c.daysLeft(agora);
    QString situacao;
    if (c.validUntil < agora) {
        l.situacao = Situacao::Expirado;
        l.diasRestantes = QStringLiteral("Expirado");
        situacao = QStringLiteral("expirado");
    } else {
        l.situacao = dias < LinhaCertificado::diasAviso ? Situacao::AVencer : Situacao::Valido;
        l.diasRestantes = QString::number(dias);
        situacao = dias < LinhaCertificado::diasAviso ? QStringLiteral("vence em %1 dias").arg(dias)
                                                      : QStringLiteral("%1 dias restantes").arg(dias);
    }
    l.nomeAcessivel = QStringLiteral("%1, CNPJ/CPF %2, emitido por %3, válido de %4 até %5, %6")
                          .arg(l.titular, l.documento.isEmpty() ? QStringLiteral("não informado") : l.documento,
                               l.emissor, l.validoDe, l.validoAte, situacao);
    return l;
}

bool certificadoCombina(const certstore::Certificate& c, const QString& filtro)
{
    const QString procurado = semAcentos(filtro.trimmed());
    const QString digitos = somenteDigitos(filtro);
    return procurado.isEmpty() || semAcentos(c.holder).contains(procurado) ||
           semAcentos(c.issuerName).contains(procurado) || (!digitos.isEmpty() && c.document.contains(digitos));
}

} // namespace tervalia
