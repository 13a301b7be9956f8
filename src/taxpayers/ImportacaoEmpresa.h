#pragma once

#include "platform/CertStore.h"
#include "storage/Database.h"
#include "taxpayers/ExportacaoNovaGia.h"

#include <QString>

#include <optional>

namespace tervalia {

// How one company of a NovaGIA export fared in the import.
struct ResultadoEmpresa
{
    enum class Situacao {
        Cadastrada,          // the server issued its key and the company is stored
        JaCadastrada,        // its IE is already stored: nothing written
        NaoAutorizada,       // the server does not know it: nothing written
        CertificadoExpirado, // the server's date is outside the certificate's validity: nothing written
        RespostaIlegivel,    // the answer holds no readable key: nothing written
        FalhaComunicacao,    // the exchange failed: nothing written
        FalhaBanco,          // dipam.db failed: see erroBanco
    };
    Situacao situacao = Situacao::FalhaComunicacao;
    std::optional<DatabaseError> erroBanco;
    QString causaSeguranca; // a failed TLS handshake's cause, with its line breaks before; else empty

    // Whether the import goes on with the next company.
    bool continua() const
    {
        return situacao == Situacao::Cadastrada || situacao == Situacao::JaCadastrada ||
               situacao == Situacao::NaoAutorizada;
    }
};

// Asks the server for the company's key ("Transferencia.ecnpj" with its IE and CNPJ as the file
// holds them) and stores the company unless its IE is already there. Every value is bound. The
// certificate must be valid at the server's date; it is not required to name the company. Blocks in
// the server call (EnviaSoap); never throws.
ResultadoEmpresa importaEmpresa(const EmpresaNovaGia& empresa, const certstore::Certificate& certificado);

// The messages of the import, for the company they name.
QString mensagemEmpresaNaoAutorizada(const EmpresaNovaGia& empresa);
QString mensagemEmpresaJaCadastrada(const EmpresaNovaGia& empresa);
QString mensagemRespostaIlegivel(const EmpresaNovaGia& empresa);
// "Importando 12 de 40: RAZÃO SOCIAL", numero counted from 1.
QString textoProgressoImportacao(int numero, int total, const EmpresaNovaGia& empresa);

} // namespace tervalia
