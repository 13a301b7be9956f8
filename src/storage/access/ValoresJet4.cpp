#include "ValoresJet4.h"

#include "FormatoJet4.h"

#include <cmath>
#include <limits>

namespace tervalia::access::jet4 {

namespace {

__extension__ typedef unsigned __int128 u128;

const QDate diaZero(1899, 12, 30);
constexpr qint64 segundosPorDia = 86400;

bool inteiro(const QVariant& valor, qint64& saida)
{
    switch (valor.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::SChar:
    case QMetaType::Char:
        saida = valor.toLongLong();
        return true;
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UChar: {
        const qulonglong u = valor.toULongLong();
        if (u > qulonglong(std::numeric_limits<qint64>::max()))
            return false;
        saida = qint64(u);
        return true;
    }
    default:
        return false;
    }
}

bool ehReal(const QVariant& valor)
{
    const int id = valor.metaType().id();
    return id == QMetaType::Double || id == QMetaType::Float;
}

QString tipoErrado(const QVariant& valor, const char* esperado)
{
    return QStringLiteral("o valor do tipo %1 não serve para uma coluna %2")
        .arg(QString::fromLatin1(valor.typeName() ? valor.typeName() : "?"), QString::fromUtf8(esperado));
}

// Decimal text as digits and the number of them after the point.
struct Decimal
{
    bool negativo = false;
    QString inteiros; // without leading zeros
    QString decimais; // without trailing zeros
};

// An optional sign, digits, and an optional point with more digits; at least one digit.
bool leDecimal(const QString& texto, Decimal& d)
{
    const QString t = texto.trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+')))
        d.negativo = t[i++] == QLatin1Char('-');
    const auto digitos = [&](QString& saida) {
        const qsizetype inicio = i;
        while (i < t.size() && t[i] >= QLatin1Char('0') && t[i] <= QLatin1Char('9'))
            ++i;
        saida = t.mid(inicio, i - inicio);
    };
    digitos(d.inteiros);
    if (i < t.size() && t[i] == QLatin1Char('.')) {
        ++i;
        digitos(d.decimais);
    }
    if (i != t.size() || (d.inteiros.isEmpty() && d.decimais.isEmpty()))
        return false;
    while (d.inteiros.startsWith(QLatin1Char('0')))
        d.inteiros.remove(0, 1);
    while (d.decimais.endsWith(QLatin1Char('0')))
        d.decimais.chop(1);
    return true;
}

QString textoDoNumero(const QVariant& valor, int escala, bool& ok)
{
    ok = true;
    qint64 i = 0;
    if (inteiro(valor, i))
        return QString::number(i);
    if (ehReal(valor)) {
        const double d = valor.toDouble();
        ok = std::isfinite(d);
        // A double stands for the decimal it was read from; it keeps the column's decimals.
        return QString::number(d, 'f', escala);
    }
    ok = valor.metaType().id() == QMetaType::QString;
    return valor.toString();
}

// The number written with `n` digits at `i`, or -1.
int numeroEm(const QString& t, qsizetype i, int n)
{
    if (i + n > t.size())
        return -1;
    int v = 0;
    for (qsizetype k = i; k < i + n; ++k) {
        if (t[k] < QLatin1Char('0') || t[k] > QLatin1Char('9'))
            return -1;
        v = v * 10 + (t[k].unicode() - '0');
    }
    return v;
}

bool separador(const QString& t, qsizetype i, char c)
{
    return i < t.size() && t[i] == QLatin1Char(c);
}

// "13:45" or "13:45:07", then optionally a fraction of a second, which is dropped.
bool horaDoTexto(const QString& t, qsizetype i, QTime& hora)
{
    const int h = numeroEm(t, i, 2);
    const int m = separador(t, i + 2, ':') ? numeroEm(t, i + 3, 2) : -1;
    int s = 0;
    qsizetype fim = i + 5;
    if (separador(t, fim, ':')) {
        s = numeroEm(t, fim + 1, 2);
        fim += 3;
        if (separador(t, fim, '.'))
            fim = t.size();
    }
    hora = QTime(h, m, s);
    return h >= 0 && m >= 0 && s >= 0 && fim == t.size() && hora.isValid();
}

// "2024-05-31", "2024-05-31 13:45:07" (or with a T, or with a fraction of a second), "13:45" or
// "13:45:07" (a time alone is on 1899-12-30, as Access keeps times).
bool dataDoTexto(const QString& texto, QDate& data, QTime& hora)
{
    const QString t = texto.trimmed();
    hora = QTime(0, 0);
    if (separador(t, 2, ':')) {
        data = diaZero;
        return horaDoTexto(t, 0, hora);
    }
    if (!separador(t, 4, '-') || !separador(t, 7, '-'))
        return false;
    data = QDate(numeroEm(t, 0, 4), numeroEm(t, 5, 2), numeroEm(t, 8, 2));
    if (!data.isValid())
        return false;
    if (t.size() == 10)
        return true;
    return (separador(t, 10, ' ') || separador(t, 10, 'T')) && horaDoTexto(t, 11, hora);
}

} // namespace

double dataParaJet(const QDate& data, const QTime& hora)
{
    const qint64 dias = diaZero.daysTo(data);
    const double fracao = double(hora.msecsSinceStartOfDay() / 1000) / double(segundosPorDia);
    return dias >= 0 ? double(dias) + fracao : double(dias) - fracao;
}

QDateTime dataDeJet(double valor)
{
    if (!std::isfinite(valor) || std::fabs(valor) > 3.0e6)
        return {};
    qint64 dias = qint64(std::trunc(valor));
    qint64 segundos = std::llround(std::fabs(valor - double(dias)) * double(segundosPorDia));
    if (segundos >= segundosPorDia) {
        segundos -= segundosPorDia;
        dias += 1;
    }
    return QDateTime(diaZero.addDays(dias), QTime(0, 0).addSecs(int(segundos)));
}

void textoParaJet(const QString& texto, bool comprimir, QByteArray& saida)
{
    const qsizetype n = texto.size();
    bool comprime = comprimir && n > 2;
    for (qsizetype i = 0; comprime && i < n; ++i) {
        const char16_t c = texto[i].unicode();
        comprime = c >= 1 && c <= 0xFF;
    }
    if (comprime) {
        saida.append(char(0xFF));
        saida.append(char(0xFE));
        for (QChar c : texto)
            saida.append(char(c.unicode()));
        return;
    }
    const qsizetype inicio = saida.size();
    saida.resize(inicio + 2 * n);
    char* p = saida.data() + inicio;
    for (qsizetype i = 0; i < n; ++i)
        poe16(p + 2 * i, texto[i].unicode());
}

QString textoDeJet(const char* dados, qsizetype tamanho)
{
    if (tamanho >= 2 && quint8(dados[0]) == 0xFF && quint8(dados[1]) == 0xFE) {
        // Compressed: one byte per character; a zero byte switches to two bytes per character and back.
        QString texto(tamanho, Qt::Uninitialized);
        QChar* saida = texto.data();
        qsizetype n = 0;
        bool comprimido = true;
        for (qsizetype i = 2; i < tamanho;) {
            if (dados[i] == 0) {
                comprimido = !comprimido;
                ++i;
            } else if (comprimido) {
                saida[n++] = QChar(char16_t(quint8(dados[i++])));
            } else if (i + 1 < tamanho) {
                saida[n++] = QChar(le16(dados + i));
                i += 2;
            } else {
                break;
            }
        }
        texto.truncate(n);
        return texto;
    }
    QString texto(tamanho / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < texto.size(); ++i)
        texto[i] = QChar(le16(dados + 2 * i));
    return texto;
}

QString numericoDeJet(const char* dados, int escala)
{
    u128 v = 0;
    for (int palavra = 0; palavra < 4; ++palavra)
        v = (v << 32) | le32(dados + 1 + 4 * palavra);
    QString digitos;
    do {
        digitos.prepend(QLatin1Char(char('0' + int(v % 10))));
        v /= 10;
    } while (v != 0);
    while (digitos.size() <= escala)
        digitos.prepend(QLatin1Char('0'));
    if (escala > 0)
        digitos.insert(digitos.size() - escala, QLatin1Char('.'));
    return (quint8(dados[0]) & 0x80) ? QLatin1Char('-') + digitos : digitos;
}

bool simNaoParaJet(const QVariant& valor, bool& saida, QString& motivo)
{
    qint64 i = 0;
    if (valor.metaType().id() == QMetaType::Bool) {
        saida = valor.toBool();
        return true;
    }
    if (inteiro(valor, i) && (i == 0 || i == 1)) {
        saida = i == 1;
        return true;
    }
    motivo = inteiro(valor, i) ? QStringLiteral("o valor %1 não é Sim (1) nem Não (0)").arg(i)
                               : tipoErrado(valor, "Sim/Não");
    return false;
}

bool inteiroParaJet(const QVariant& valor, char* saida, QString& motivo)
{
    qint64 i = 0;
    bool ok = inteiro(valor, i);
    if (!ok && ehReal(valor)) {
        const double d = valor.toDouble();
        ok = std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e18;
        i = ok ? qint64(d) : 0;
    } else if (!ok && valor.metaType().id() == QMetaType::QString) {
        i = valor.toString().trimmed().toLongLong(&ok);
    }
    if (!ok) {
        motivo = tipoErrado(valor, "Inteiro longo");
        return false;
    }
    if (i < std::numeric_limits<qint32>::min() || i > std::numeric_limits<qint32>::max()) {
        motivo = QStringLiteral("o valor %1 não cabe num inteiro longo (32 bits)").arg(i);
        return false;
    }
    poe32(saida, quint32(qint32(i)));
    return true;
}

bool duploParaJet(const QVariant& valor, char* saida, QString& motivo)
{
    qint64 i = 0;
    double d = 0;
    bool ok = true;
    if (ehReal(valor))
        d = valor.toDouble();
    else if (inteiro(valor, i))
        d = double(i);
    else if (valor.metaType().id() == QMetaType::QString)
        d = valor.toString().trimmed().toDouble(&ok);
    else
        ok = false;
    if (!ok) {
        motivo = tipoErrado(valor, "Duplo");
        return false;
    }
    if (!std::isfinite(d)) {
        motivo = QStringLiteral("o valor %1 não é um número finito").arg(d);
        return false;
    }
    poeDouble(saida, d);
    return true;
}

bool numericoParaJet(const QVariant& valor, int precisao, int escala, char* saida, QString& motivo)
{
    bool ok = false;
    const QString texto = textoDoNumero(valor, escala, ok);
    Decimal d;
    if (!ok || !leDecimal(texto, d)) {
        motivo =
            ok ? QStringLiteral("«%1» não é um número decimal").arg(texto.left(40)) : tipoErrado(valor, "Numérico");
        return false;
    }
    if (d.decimais.size() > escala || d.inteiros.size() > precisao - escala) {
        motivo = QStringLiteral("o valor %1 não cabe na coluna Numérico(%2,%3): no máximo %4 dígitos antes da "
                                "vírgula e %3 depois")
                     .arg(texto.trimmed().left(60))
                     .arg(precisao)
                     .arg(escala)
                     .arg(precisao - escala);
        return false;
    }
    u128 v = 0;
    const QString digitos = d.inteiros + d.decimais.leftJustified(escala, QLatin1Char('0'));
    for (QChar c : digitos)
        v = v * 10 + u128(c.unicode() - '0');
    saida[0] = char(d.negativo && v != 0 ? 0x80 : 0x00);
    for (int palavra = 0; palavra < 4; ++palavra)
        poe32(saida + 1 + 4 * palavra, quint32(v >> (32 * (3 - palavra))));
    return true;
}

bool dataHoraParaJet(const QVariant& valor, char* saida, QString& motivo)
{
    QDate data;
    QTime hora(0, 0);
    bool ok = true;
    switch (valor.metaType().id()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = valor.toDateTime();
        const QDateTime local = dt.timeSpec() == Qt::LocalTime ? dt : dt.toLocalTime();
        data = local.date();
        hora = local.time();
        ok = local.isValid();
        break;
    }
    case QMetaType::QDate:
        data = valor.toDate();
        ok = data.isValid();
        break;
    case QMetaType::QString:
        ok = dataDoTexto(valor.toString(), data, hora);
        break;
    default:
        motivo = tipoErrado(valor, "Data/Hora");
        return false;
    }
    if (!ok || data.year() < 100 || data.year() > 9999) {
        motivo = ok ? QStringLiteral("a data %1 está fora do intervalo do Access (anos 100 a 9999)")
                          .arg(data.toString(Qt::ISODate))
                    : QStringLiteral("«%1» não é uma data válida").arg(valor.toString().left(40));
        return false;
    }
    poeDouble(saida, dataParaJet(data, hora));
    return true;
}

bool textoDoValor(const QVariant& valor, QString& texto, QString& motivo)
{
    if (valor.metaType().id() != QMetaType::QString) {
        motivo = tipoErrado(valor, "de texto");
        return false;
    }
    texto = valor.toString();
    return true;
}

bool binarioDoValor(const QVariant& valor, QByteArray& dados, QString& motivo)
{
    if (valor.metaType().id() != QMetaType::QByteArray) {
        motivo = tipoErrado(valor, "Objeto OLE");
        return false;
    }
    dados = valor.toByteArray();
    return true;
}

} // namespace tervalia::access::jet4
