#pragma once

#include "storage/Cadastro.h"

#include <QList>
#include <QPair>
#include <QString>

#include <functional>

namespace tervalia::contador {

// Which document the document field's mask asks for.
enum class TipoDocumento { Cpf, Cnpj };

// Input masks of the accountant window; "0" places take digits only and "_" is the prompt.
inline constexpr QLatin1StringView mascaraCpf("000.000.000-00;_");
inline constexpr QLatin1StringView mascaraCnpj("00.000.000/0000-00;_");
inline constexpr QLatin1StringView mascaraTelefone("(00) 0000-0000;_");
inline constexpr QLatin1StringView mascaraCep("00000-000;_");
// A stored document of this length is a CPF with its punctuation.
inline constexpr int tamanhoCpfFormatado = 14;

// Every value with each "'" doubled, as the server and the checks see it.
ContadorRecord comApostrofosDobrados(ContadorRecord contador);

// The parameters of "Transferencia.contador", in the order sent.
QList<QPair<QString, QString>> parametrosEnvio(const ContadorRecord& contador);

// Reports the accountant as typed to the municipality's server, each "'" doubled. True when the
// server took it: its answer is a SOAP answer whose result can be read (the result's text is not
// examined). False for any other answer (an error page, a fault); a failed transfer throws SoapError.
[[nodiscard]] bool fnContador(const ContadorRecord& digitado);

// The document message when the check digits of the field text are wrong, else empty. Missing
// places read as zeros: nothing here counts them.
QString verificaDigitosDocumento(TipoDocumento tipo, const QString& texto);
// The same, and also refused when digits are missing: what a confirmation requires.
QString verificaDocumento(TipoDocumento tipo, const QString& texto);

// Checks the other fields of the escaped record in the window's order and returns the first
// message, or empty when all pass. An empty CRC asks the user, through prosseguirSemCrc, whether
// to go on without it.
QString verificaCampos(const ContadorRecord& contador, const std::function<bool()>& prosseguirSemCrc);

// The texts the user sees.
namespace mensagem {
inline constexpr QLatin1StringView titulo("Tervalia - MG");
QString documentoCpf();
QString documentoCnpj();
QString perguntaCrc();
QString sucesso();
QString falhaRemocao();
QString perguntaRemocao();
// "Falha de conexão - Cód <codigo>, " with the advice and the service's web address.
QString falhaConexao(int codigo);
} // namespace mensagem

} // namespace tervalia::contador
