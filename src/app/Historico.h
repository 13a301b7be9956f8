#pragma once

#include "net/TextoPosicional.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <stdexcept>

// Reading what the server tells about a company's deliveries: the history answer of
// "Transferencia.ver2" and the details answer of "Transferencia.ver". No widgets here.
//
// Both documents are read with QXmlStreamReader: no document type is fetched and no external
// entity is ever resolved, so an answer cannot make the program read local files or reach other
// hosts. A document that declares an external entity is refused like one that does not parse.
namespace tervalia::historico {

// The cells of one delivery, in the order of the history grid's columns.
inline constexpr int numColunas = 5;
using Linha = std::array<QString, numColunas>;

// A document that is not well-formed, or is nested deeper than maxXmlNesting (net/Soap.h), with
// the reason in Portuguese.
class XmlError : public std::runtime_error
{
public:
    explicit XmlError(const QString& motivo);
    const QString& motivo() const { return m_motivo; }

private:
    QString m_motivo;
};

// A well-formed details document that lacks what a message needs (its DETALHE, or its PROTOCOLO
// when it carries attributes).
class DetalhesError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// How the history answer rejects the key, if it does: "CHAVE_INVALIDA" alone (blanks around it
// and letter case do not matter), or any other text holding "CHAVE_I" (exact case).
enum class Rejeicao { Nenhuma, ChaveInvalida, AcessoNaoAutorizado };
Rejeicao rejeicao(const QString& retorno);

// One row per "transferencia" child of the root "listaTransferencias", in document order; each
// cell holds the text of the child of that exact name, or stays empty. Throws XmlError.
QList<Linha> lerTransferencias(const QString& documento);

// Fixed positions and the server's date, shared with the key request (net/TextoPosicional.h).
using tervalia::converteDataServidor;
using tervalia::trecho;

// The whole content of info.dip in the program directory, or nothing when it cannot be read.
std::optional<QString> lerMarcaVersao();

// One message of the details document, as the tree shows it.
struct ItemDetalhe
{
    QString nome;                     // the message element's name
    QString detalhe;                  // the text of its DETALHE child
    std::optional<QString> protocolo; // its PROTOCOLO attribute, when it carries attributes
    QStringList subitens;             // the text of each of its child elements, DETALHE included

    // "DIPAM : " and the text when the text has three characters or fewer, otherwise the
    // element's name, ": " and the text.
    QString texto() const;
};

struct Detalhes
{
    QString raiz; // the document element's local name
    QList<ItemDetalhe> itens;
};

// Throws XmlError when the text does not parse, DetalhesError when a message is incomplete.
Detalhes lerDetalhes(const QString& documento);

// The receipt page of a delivery, on the server's host alone (the default port of its scheme: http,
// or https with protocolo=https). The values go into the address as they are, the reference without
// blanks. A misspelled protocolo gives erro (in Portuguese) and no address.
struct EnderecoRecibo
{
    QString endereco;
    QString erro;
};
EnderecoRecibo enderecoRecibo(const QString& ie, const QString& chave, const QString& referencia);

} // namespace tervalia::historico
