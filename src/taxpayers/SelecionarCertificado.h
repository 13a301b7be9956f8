#pragma once

#include <QDateTime>
#include <QString>

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
};

// The certificate step of every window that has one. Every message the user must see has been
// shown when this returns; a cancelled chooser ends it silently. Never throws.
ResultadoCertificado SelecionarCertificado(QWidget* janela, const PedidoCertificado& pedido);

} // namespace tervalia
