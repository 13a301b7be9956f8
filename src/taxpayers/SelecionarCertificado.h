#pragma once

#include "platform/CertStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace tervalia {

// The company fields of the registration window as shown: masked fields with their literals and
// "_" prompt characters, nothing doubled.
struct EmpresaDigitada
{
    QString ie;
    QString razaoSocial;
    QString cnpj;
    QString cnae;
};

// What a successful key request puts into the registration window.
struct ChaveRecebida
{
    QString chave;               // exactly 8 characters
    bool optanteSimples = false; // "S" at position 51
    QDateTime dataServidor;      // the server's date and time of the answer
};

// The two forms of the certificate step.
enum class FormaCertificado {
    PedidoChave, // registration window: choose, check ownership, ask the server for the key
    Entrega,     // delivery windows: choose, accept only the accountant's unexpired certificate
};

struct PedidoCertificado
{
    FormaCertificado forma = FormaCertificado::PedidoChave;
    EmpresaDigitada empresa;        // key request only
    QString cpfCnpjContador;        // delivery only: the window's, read when it loaded
    QDateTime dataServidor;         // delivery only: the main window's date from the last refresh
    bool certificadoValido = false; // the window's flag before this run
};

struct ResultadoCertificado
{
    bool certificadoValido = false;     // the window's flag after this run
    std::optional<ChaveRecebida> chave; // key request: the key, when the server issued one
    // The certificate chosen in this run, kept by the window until the next choice.
    std::optional<certstore::Certificate> certificado;
};

// The certificate step of every window that has one. Every message the user must see has been
// shown when this returns; a cancelled chooser ends it silently. Never throws.
ResultadoCertificado SelecionarCertificado(QWidget* janela, const PedidoCertificado& pedido);

// The pieces of the key request that the company import runs itself (it chooses once, then asks
// the server for each company).

// The chooser with the key-request texts. Nothing when the user cancels, or when the store cannot
// be used (the component message has then been shown).
std::optional<certstore::Certificate> escolheCertificadoChave(QWidget* janela);

// The certificate's bytes: its Base64 export decoded with MyDecode, what the ownership test
// (certificadoPossui in taxpayers/RespostaChave.h) searches.
QByteArray documentoCertificado(const certstore::Certificate& certificado);

// Reads the certificate's CRL distribution-point addresses. When they cannot be read, shows
// "Could not retrieve the URLs from the CDP extension: 0x" and the error code, and returns none;
// the certificate step goes on either way.
QStringList ListaUrlsCrl(QWidget* janela, const certstore::Certificate& certificado);

// Messages shared by every certificate step.
QString mensagemComponentes(); // the certificate components cannot be started
QString mensagemComunicacao(); // the exchange with the server failed; names the host of dipam.ini

} // namespace tervalia
