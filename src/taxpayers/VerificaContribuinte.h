#pragma once

#include <QLatin1StringView>
#include <QString>

// The field checks of the two taxpayer registration windows. No widgets here.
namespace tervalia::contribuinte {

inline constexpr QLatin1StringView mascaraIE("0000000000000;_");
inline constexpr QLatin1StringView mascaraCnpj("00.000.000/0000-00;_");
inline constexpr QLatin1StringView mascaraCnae("0000-0/00;_");
inline constexpr int tamanhoIE = 13;
inline constexpr int tamanhoCnpj = 18;
inline constexpr int tamanhoCnae = 9;
// The registrations these windows take are those of Minas Gerais.
inline constexpr QLatin1StringView ufInscricao("MG");

// The values of the window as shown: masked fields with their literals and "_" prompt characters.
struct Campos
{
    QString ie;
    QString razaoSocial;
    QString cnpj;
    QString cnae;
    QString chave;
    QString ccm;
};

// The length of a masked value once every "_" is removed.
int tamanhoPreenchido(const QString& valor);

// Which of the checks run besides IE, razão social, CNPJ and CNAE: OK also wants the key; the update
// window's OK also tests the IE's check digits, right after its length. The key request runs none.
struct Exige
{
    bool digitosIE = false;
    bool chave = true;
};

// The one routine of field checks of the registration windows and of the key request: the message
// of the first check that fails (IE length, IE digits, razão social not only blanks, CNPJ length,
// CNPJ check digits, CNAE, key), or an empty text when all pass.
QString verificaCampos(const Campos& campos, Exige exige = {});

// What leaving the CNPJ field writes into erroMsg: "CNPJ Inválido" or nothing.
QString verificaSaidaCnpj(const QString& cnpj);

// The update window's check digits of the IE, under the rule of Minas Gerais.
bool ieValida(const QString& ie);

namespace mensagem {
QString jaCadastrado();
QString naoCadastrado();
QString corrijaErros();
QString ieInvalida();
QString criado();
QString atualizado();
} // namespace mensagem

} // namespace tervalia::contribuinte
