#pragma once

#include <QLatin1StringView>

// Every entry point of the municipality's server, with the names and fixed positions the program
// relies on. Nothing else in the program writes these literals.
namespace tervalia::servidor {

// Where the server is: section and keys of dipam.ini, read afresh at every use.
inline constexpr QLatin1StringView secaoConfiguracao("servidor");
inline constexpr QLatin1StringView chaveHost("host");
inline constexpr QLatin1StringView chavePorta("port");
// "https" puts every call, upload and receipt address on TLS; absent or "http" is plain HTTP.
inline constexpr QLatin1StringView chaveProtocolo("protocolo");
// The certificate (PEM or DER) of the authority the server's certificate must come from, absolute
// or relative to the program directory; absent: the system's authorities.
inline constexpr QLatin1StringView chaveCertificado("certificado_servidor");

// Web service, on host:port of the settings.
inline constexpr QLatin1StringView caminhoServico("/ravu/server/index.php?wsdl");

namespace operacao {
inline constexpr QLatin1StringView historico("Transferencia.ver2");
inline constexpr QLatin1StringView detalhes("Transferencia.ver");
inline constexpr QLatin1StringView chave("Transferencia.ecnpj");
inline constexpr QLatin1StringView contador("Transferencia.contador");
} // namespace operacao

// Element holding the useful answer, at the fourth level of the SOAP answer.
inline constexpr QLatin1StringView elementoResultado("return");

// Parameters of "Transferencia.ver2" and "Transferencia.ver", in the order sent.
namespace historico {
inline constexpr QLatin1StringView paramNome("strNome");
inline constexpr QLatin1StringView paramDiretorio("strDiretorioDestino");
inline constexpr QLatin1StringView paramChave("Chave");
inline constexpr QLatin1StringView diretorio("vbs");
inline constexpr QLatin1StringView raiz("listaTransferencias");
inline constexpr QLatin1StringView item("transferencia");
// Children of each "transferencia", in the order of the history grid's columns.
inline constexpr QLatin1StringView campos[5] = {
    QLatin1StringView("referencia"), QLatin1StringView("data"),       QLatin1StringView("protocolo"),
    QLatin1StringView("status"),     QLatin1StringView("adicionado"),
};
// Status values the program acts on: verified without messages, and details available.
inline constexpr int statusSemMensagens = 1, statusComDetalhes = 2;
// Fixed positions in the "return" text, counted from 1.
inline constexpr int posDataServidor = 32, lenDataServidor = 19;
inline constexpr int posAnoTrabalho = 59, lenAnoTrabalho = 9;
inline constexpr int posVersao = 78, lenVersao = 20;
// A rejected key: "CHAVE_INVALIDA", or another text containing "CHAVE_I".
inline constexpr QLatin1StringView chaveInvalida("CHAVE_INVALIDA");
inline constexpr QLatin1StringView marcaChaveRecusada("CHAVE_I");
} // namespace historico

// Answer of "Transferencia.ver": each child of the root is one message, with its text in a
// DETALHE child and, when it has attributes, the delivery's protocol in PROTOCOLO.
namespace detalhes {
inline constexpr QLatin1StringView elementoDetalhe("DETALHE");
inline constexpr QLatin1StringView atributoProtocolo("PROTOCOLO");
} // namespace detalhes

// Parameters of "Transferencia.ecnpj", in the order sent, and its fixed-position answer.
namespace chave {
inline constexpr QLatin1StringView paramIe("ie");
inline constexpr QLatin1StringView paramCnpj("cnpj");
inline constexpr QLatin1StringView paramCodigo("key");
inline constexpr QLatin1StringView codigoAcesso("!QORTELUNA!");
inline constexpr int posDataHora = 21, lenDataHora = 19; // dd/mm/yyyy hh:mm:ss
inline constexpr int posSimples = 51;                    // "S" or "N"
inline constexpr int posChave = 61, lenChave = 8;
inline constexpr QLatin1StringView naoAutorizado("NAO_AUTORIZADO");
} // namespace chave

// Parameters of "Transferencia.contador", in the order sent.
inline constexpr QLatin1StringView parametrosContador[12] = {
    QLatin1StringView("thisCont_cpf_cnpj"),     QLatin1StringView("thisCont_num_crc"),
    QLatin1StringView("thisCont_razao_nome"),   QLatin1StringView("thisCont_nom_endereco"),
    QLatin1StringView("thisCont_num_endereco"), QLatin1StringView("thisCont_complemento"),
    QLatin1StringView("thisCont_nom_bairro"),   QLatin1StringView("thisCont_nom_cidade"),
    QLatin1StringView("thisCont_nom_estado"),   QLatin1StringView("thisCont_num_telefone"),
    QLatin1StringView("thisCont_num_cep"),      QLatin1StringView("thisCont_email"),
};

// Uploads: HTTP/1.0 multipart POST with the query keys below. The client writes a blank before
// the path after the port, which address splitting absorbs.
inline constexpr QLatin1StringView caminhoUploadVaf("/client/xt_upload.php");
inline constexpr QLatin1StringView caminhoUploadSimples("/client/xt_upload_simples.php");
inline constexpr QLatin1StringView queryContador("contador");
inline constexpr QLatin1StringView queryChave("chave");
inline constexpr QLatin1StringView queryGias("gias");
// The tables of the posted VAF database (an Access file opened with the password below), in the
// order the program copies them from VAF.GDB.
inline constexpr QLatin1StringView tabelasVaf[26] = {
    QLatin1StringView("CNAEF"),
    QLatin1StringView("CNAEF_CNAE"),
    QLatin1StringView("CONSISTENCIAS"),
    QLatin1StringView("CONTRIBUINTE"),
    QLatin1StringView("DEMOSTRACAORESULTADOOPERACIONAL"),
    QLatin1StringView("DESPESASOPERACIONAIS"),
    QLatin1StringView("DETALHAMENTOENTRADA"),
    QLatin1StringView("DETALHAMENTOES"),
    QLatin1StringView("DOCUMENTO"),
    QLatin1StringView("ENTRADA"),
    QLatin1StringView("ESTOQUE"),
    QLatin1StringView("EXCLUSOESVAF"),
    QLatin1StringView("GIENTRADA"),
    QLatin1StringView("GISAIDAS"),
    QLatin1StringView("MUNICIPIO"),
    QLatin1StringView("PARAMETROS"),
    QLatin1StringView("REGIME"),
    QLatin1StringView("RESPONSAVEL"),
    QLatin1StringView("SAIDA"),
    QLatin1StringView("STATUSDOC"),
    QLatin1StringView("TIPOCONTRIBUINTE"),
    QLatin1StringView("TIPOOPERACAO"),
    QLatin1StringView("TIPORECOLHIMENTO"),
    QLatin1StringView("TRANSMISSAO"),
    QLatin1StringView("UF"),
    QLatin1StringView("VAF"),
};
inline constexpr QLatin1StringView senhaVaf("tum4821");
// Refusals of a Simples Nacional upload all start with this.
inline constexpr QLatin1StringView marcaArquivoInvalido("ARQUIVO INVALIDO - ");
// An accepted upload names its protocol number after this word; a key the server does not know
// is refused with historico::chaveInvalida.
inline constexpr QLatin1StringView marcaProtocolo("PROTOCOLO");

// Receipt page, on the host alone (no port), opened in the browser.
inline constexpr QLatin1StringView caminhoProtocolo("/protocoloDown.php");
inline constexpr QLatin1StringView queryProtocoloIe("IE");
inline constexpr QLatin1StringView queryProtocoloChave("key");
inline constexpr QLatin1StringView queryProtocoloRef("ref");

} // namespace tervalia::servidor
