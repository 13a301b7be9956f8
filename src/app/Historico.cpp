#include "Historico.h"

#include "net/Servidor.h"
#include "net/Soap.h"
#include "net/Tls.h"
#include "platform/ProgramDir.h"
#include "storage/ReadWrite.h"
#include "text/Windows1252.h"

#include <QFile>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <algorithm>
#include <vector>

namespace tervalia::historico {

namespace {

// An element of a parsed answer. Both answers are read three levels deep (root, item, field);
// deeper elements only add their text, so no answer can build an arbitrarily deep tree.
struct No
{
    QString nome;
    QString nomeLocal;
    QXmlStreamAttributes atributos;
    QString texto; // every character below the element, in document order
    std::vector<No> filhos;
};

constexpr int niveisLidos = 3;

void abreElemento(const QXmlStreamReader& reader, No& raiz, std::vector<No*>& abertos)
{
    // The parent stays open while its children are read, so its vector does not move under them.
    No& no = abertos.empty() ? raiz : abertos.back()->filhos.emplace_back();
    no.nome = reader.qualifiedName().toString();
    // Only the root's local name and the messages' attributes are read.
    if (abertos.empty())
        no.nomeLocal = reader.name().toString();
    else if (abertos.size() == 1)
        no.atributos = reader.attributes();
    abertos.push_back(&no);
}

// The reader never fetches an external entity; it would silently leave it out of the text. An
// answer that declares one is refused instead, so that no message is shown cut short.
// One level deeper; a document nested past the bound is unreadable.
void entraNoElemento(int& profundidade)
{
    if (++profundidade > maxXmlNesting)
        throw XmlError(QStringLiteral("O documento tem mais de %1 níveis de elementos aninhados.").arg(maxXmlNesting));
}

void recusaEntidadesExternas(const QXmlStreamReader& reader)
{
    for (const QXmlStreamEntityDeclaration& entidade : reader.entityDeclarations()) {
        if (!entidade.systemId().isEmpty() || !entidade.publicId().isEmpty())
            throw XmlError(QStringLiteral("O documento declara a entidade externa \"%1\", que não é lida.")
                               .arg(entidade.name().toString()));
    }
}

// The characters of the whole document go once into one text, in document order; an element read
// keeps where its characters start, and takes them when it closes. So each character is copied at
// most once per level read, however deep the document goes below.
No lerDocumento(const QString& documento)
{
    QXmlStreamReader reader(documento);
    No raiz;
    std::vector<No*> abertos;
    std::vector<qsizetype> inicios; // where the text of each open element read starts
    QString caracteres;
    int profundidade = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            entraNoElemento(profundidade);
            if (profundidade <= niveisLidos) {
                abreElemento(reader, raiz, abertos);
                inicios.push_back(caracteres.size());
            }
            break;
        case QXmlStreamReader::EndElement:
            if (profundidade-- <= niveisLidos) {
                abertos.back()->texto = caracteres.sliced(inicios.back());
                abertos.pop_back();
                inicios.pop_back();
            }
            break;
        case QXmlStreamReader::Characters:
            if (profundidade > 0)
                caracteres += reader.text();
            break;
        case QXmlStreamReader::DTD:
            recusaEntidadesExternas(reader);
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        throw XmlError(reader.errorString());
    return raiz;
}

const No* primeiroFilho(const No& no, QLatin1StringView nome)
{
    for (const No& filho : no.filhos) {
        if (filho.nome == nome)
            return &filho;
    }
    return nullptr;
}

ItemDetalhe itemDe(const No& mensagem)
{
    const No* detalhe = primeiroFilho(mensagem, servidor::detalhes::elementoDetalhe);
    if (!detalhe)
        throw DetalhesError("message without DETALHE");
    ItemDetalhe item{mensagem.nome, detalhe->texto, std::nullopt, {}};
    if (!mensagem.atributos.isEmpty()) {
        if (!mensagem.atributos.hasAttribute(servidor::detalhes::atributoProtocolo))
            throw DetalhesError("message with attributes but no PROTOCOLO");
        item.protocolo = mensagem.atributos.value(servidor::detalhes::atributoProtocolo).toString();
    }
    for (const No& filho : mensagem.filhos)
        item.subitens.append(filho.texto);
    return item;
}

// A hand-edited file may be in UTF-8 or in the old single-byte code page.
QString decodificaArquivo(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString texto = utf8(bytes);
    return utf8.hasError() ? decodeWindows1252(bytes) : texto;
}

} // namespace

XmlError::XmlError(const QString& motivo) : std::runtime_error(motivo.toStdString()), m_motivo(motivo) {}

Rejeicao rejeicao(const QString& retorno)
{
    // Upper case never makes a text shorter, so an answer longer than the marker (a whole history)
    // is compared without copying it.
    const QStringView recortado = QStringView(retorno).trimmed();
    if (recortado.size() <= servidor::historico::chaveInvalida.size() &&
        recortado.toString().toUpper() == servidor::historico::chaveInvalida)
        return Rejeicao::ChaveInvalida;
    if (retorno.contains(servidor::historico::marcaChaveRecusada))
        return Rejeicao::AcessoNaoAutorizado;
    return Rejeicao::Nenhuma;
}

// Read as a stream, without building the document's tree: the history can hold tens of thousands
// of deliveries.
QList<Linha> lerTransferencias(const QString& documento)
{
    namespace h = servidor::historico;
    QXmlStreamReader reader(documento);
    QList<Linha> linhas;
    bool raizCerta = false;
    bool dentroDeItem = false;
    int profundidade = 0;
    int coluna = -1; // the field being read, when its name is one of the grid's
    QString texto;   // every character below that field, deeper elements included
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            entraNoElemento(profundidade);
            if (profundidade == 1) {
                raizCerta = reader.qualifiedName() == h::raiz;
            } else if (profundidade == 2) {
                dentroDeItem = raizCerta && reader.qualifiedName() == h::item;
                if (dentroDeItem)
                    linhas.emplace_back();
            } else if (profundidade == 3 && dentroDeItem) {
                const auto campo = std::find(std::begin(h::campos), std::end(h::campos), reader.qualifiedName());
                coluna = campo != std::end(h::campos) ? int(campo - std::begin(h::campos)) : -1;
                texto.clear();
            }
            break;
        case QXmlStreamReader::Characters:
            if (coluna >= 0)
                texto += reader.text();
            break;
        case QXmlStreamReader::EndElement:
            if (profundidade == 3 && coluna >= 0) {
                linhas.back()[coluna] = std::move(texto); // the last field of a name wins
                coluna = -1;
            }
            if (profundidade == 2)
                dentroDeItem = false;
            --profundidade;
            break;
        case QXmlStreamReader::DTD:
            recusaEntidadesExternas(reader);
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        throw XmlError(reader.errorString());
    return raizCerta ? linhas : QList<Linha>{};
}

std::optional<QString> lerMarcaVersao()
{
    QFile arquivo(programFile(QStringLiteral("info.dip")));
    if (!arquivo.open(QIODevice::ReadOnly))
        return std::nullopt;
    return decodificaArquivo(arquivo.readAll());
}

QString ItemDetalhe::texto() const
{
    if (detalhe.size() > 3)
        return nome + QLatin1String(": ") + detalhe;
    return QLatin1String("DIPAM : ") + detalhe;
}

Detalhes lerDetalhes(const QString& documento)
{
    const No raiz = lerDocumento(documento);
    Detalhes detalhes{raiz.nomeLocal, {}};
    for (const No& mensagem : raiz.filhos)
        detalhes.itens.append(itemDe(mensagem));
    return detalhes;
}

EnderecoRecibo enderecoRecibo(const QString& ie, const QString& chave, const QString& referencia)
{
    QString erro;
    const QString esquema = tls::esquemaConfigurado(&erro);
    if (!erro.isEmpty())
        return {{}, erro};
    return {esquema + QLatin1String("://") + ReadFromFile(servidor::secaoConfiguracao, servidor::chaveHost) +
                servidor::caminhoProtocolo + u'?' + servidor::queryProtocoloIe + u'=' + ie + u'&' +
                servidor::queryProtocoloChave + u'=' + chave + u'&' + servidor::queryProtocoloRef + u'=' +
                QString(referencia).remove(u' '),
            {}};
}

} // namespace tervalia::historico
