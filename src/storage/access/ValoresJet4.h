#pragma once

// Values as a Jet 4 row stores them: each conversion from what the program holds checks that the
// column can hold the value and says why not (`motivo`, Portuguese, without the table's name);
// the decoders serve the reader.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>

namespace tervalia::access::jet4 {

constexpr int tamanhoNumerico = 17;

// Date/Time: days since 1899-12-30, the time as the fraction of a day; before that day the whole
// value is negative (-1.25 is 1899-12-29 06:00). Whole seconds.
double dataParaJet(const QDate& data, const QTime& hora);
QDateTime dataDeJet(double valor);

// Text as Jet 4 stores it: UTF-16, or compressed (0xFF 0xFE, then one byte per character) when
// `comprimir`, every character is in U+0001..U+00FF and that is shorter.
void textoParaJet(const QString& texto, bool comprimir, QByteArray& saida);
QString textoDeJet(const char* dados, qsizetype tamanho);

// Numeric: a sign byte (0x80 negative) and the unscaled value in 128 bits, as four 32-bit words,
// the most significant first, each least significant byte first.
QString numericoDeJet(const char* dados, int escala);

bool simNaoParaJet(const QVariant& valor, bool& saida, QString& motivo);
bool inteiroParaJet(const QVariant& valor, char* saida, QString& motivo);
bool duploParaJet(const QVariant& valor, char* saida, QString& motivo);
bool numericoParaJet(const QVariant& valor, int precisao, int escala, char* saida, QString& motivo);
bool dataHoraParaJet(const QVariant& valor, char* saida, QString& motivo);
bool textoDoValor(const QVariant& valor, QString& texto, QString& motivo);
bool binarioDoValor(const QVariant& valor, QByteArray& dados, QString& motivo);

} // namespace tervalia::access::jet4
