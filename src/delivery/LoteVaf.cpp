#include "LoteVaf.h"

#include "net/Servidor.h"
#include "net/Soap.h"
#include "net/TextoPosicional.h"
#include "RespostaEntrega.h"
#include "SelecaoGias.h"

#include <QHash>
#include <QMetaObject>
#include <QSet>

#include <algorithm>

namespace tervalia {

namespace {
std::function<void(OpcoesUpload&)>& ajusteTestes()
{
    static std::function<void(OpcoesUpload&)> ajuste;
    return ajuste;
}

bool porRazaoSocial(const QString& a, const QString& b)
{
    return QString::localeAwareCompare(a, b) < 0;
}
} // namespace

ComposicaoLote compoeLote(const QList<ContribuinteRecord>& cadastradas, const QList<ContribuinteVAF>& doArquivo,
                          const std::function<QList<DocumentoVAF>(const QString& ie)>& documentos)
{
    QHash<QString, const ContribuinteRecord*> porIe;
    for (const ContribuinteRecord& c : cadastradas)
        porIe.insert(c.ie, &c);
    ComposicaoLote lote;
    QSet<QString> vistas;
    for (const ContribuinteVAF& noArquivo : doArquivo) {
        if (vistas.contains(noArquivo.ie))
            continue;
        vistas.insert(noArquivo.ie);
        const ContribuinteRecord* c = porIe.value(noArquivo.ie);
        const auto fora = [&](const QString& motivo) {
            lote.fora.append({noArquivo.ie, c ? c->razaoSocial : noArquivo.razaoSocial, motivo});
        };
        if (!c) {
            fora(QStringLiteral("Não cadastrada"));
        } else if (c->optanteSimples) {
            fora(QStringLiteral("Optante do Simples Nacional: não entrega VAF"));
        } else if (c->chave.trimmed().isEmpty()) {
            fora(QStringLiteral("Cadastrada sem chave"));
        } else if (const QList<DocumentoVAF> docs = documentos(c->ie); docs.isEmpty()) {
            fora(QStringLiteral("O arquivo não contém documentos da empresa"));
        } else {
            lote.empresas.append({c->ie, c->razaoSocial, c->chave, docs, QList<bool>(docs.size(), false)});
        }
    }
    std::stable_sort(lote.empresas.begin(), lote.empresas.end(), [](const EmpresaLote& a, const EmpresaLote& b) {
        return porRazaoSocial(a.razaoSocial, b.razaoSocial);
    });
    for (const ContribuinteRecord& c : cadastradas) {
        if (!vistas.contains(c.ie) && !c.optanteSimples)
            lote.fora.append({c.ie, c.razaoSocial, QStringLiteral("Cadastrada, ausente do arquivo")});
    }
    return lote;
}

void marcaAnoTrabalho(ComposicaoLote& lote, const QString& anoTrabalho)
{
    for (EmpresaLote& e : lote.empresas) {
        for (int d = 0; d < e.documentos.size(); ++d)
            e.doAno[d] = anoAceito(e.documentos[d].referencia, anoTrabalho);
    }
}

DadosServidor consultaDadosServidor(const QString& ie, const QString& chave)
{
    namespace h = servidor::historico;
    QString resposta;
    try {
        resposta =
            EnviaSoap(servidor::operacao::historico,
                      montaEnvelope(servidor::operacao::historico,
                                    {{h::paramNome, ie}, {h::paramDiretorio, h::diretorio}, {h::paramChave, chave}}));
    } catch (const SoapError& erro) {
        return {{}, {}, erro.description()};
    }
    bool ilegivel = false;
    const QString retorno = GetResult(resposta, servidor::elementoResultado, &ilegivel);
    if (ilegivel)
        return {{}, {}, QStringLiteral("A resposta do servidor não pôde ser lida.")};
    if (resposta.contains(h::marcaChaveRecusada))
        return {{}, {}, QStringLiteral("O servidor recusou a chave da empresa %1.").arg(ie), true};
    const QString textoData = trecho(retorno, h::posDataServidor, h::lenDataServidor);
    const std::optional<QDateTime> data = converteDataServidor(textoData);
    if (!data)
        return {{}, {}, QStringLiteral("A data do servidor não pôde ser lida: \"%1\".").arg(textoData)};
    return {*data, trecho(retorno, h::posAnoTrabalho, h::lenAnoTrabalho), {}};
}

DadosServidor consultaDadosServidor(const QList<EmpresaLote>& empresas)
{
    DadosServidor dados{{}, {}, QStringLiteral("O arquivo não contém nenhuma empresa que possa ser enviada."), true};
    for (int i = 0; i < empresas.size() && dados.chaveRecusada; ++i)
        dados = consultaDadosServidor(empresas[i].ie, empresas[i].chave);
    return dados;
}

EnvioLote::EnvioLote(QObject* parent) : QObject(parent) {}

EnvioLote::~EnvioLote() = default;

void EnvioLote::setAjusteParaTestes(std::function<void(OpcoesUpload&)> ajuste)
{
    ajusteTestes() = std::move(ajuste);
}

void EnvioLote::inicia(const QList<Item>& itens, const QString& contador, const QString& arquivo,
                       const QString& nomeArquivo)
{
    if (m_emAndamento)
        return;
    m_itens = itens;
    m_contador = contador;
    m_arquivo = arquivo;
    m_nomeArquivo = nomeArquivo;
    m_proximo = 0;
    m_parado = false;
    m_emAndamento = true;
    QMetaObject::invokeMethod(this, &EnvioLote::proximo, Qt::QueuedConnection);
}

void EnvioLote::para()
{
    m_parado = m_emAndamento;
}

// Runs from the event loop, never inside a signal of the upload before it.
void EnvioLote::proximo()
{
    if (m_parado || m_proximo >= m_itens.size()) {
        m_emAndamento = false;
        emit terminou();
        return;
    }
    m_atual = m_proximo++;
    const Item& item = m_itens.at(m_atual);
    OpcoesUpload opcoes = OpcoesUpload::vaf();
    if (ajusteTestes())
        ajusteTestes()(opcoes);
    m_upload = new Upload(opcoes, this);
    m_upload->setCertificadoValido(true); // the certificate was accepted once for the whole run
    m_itemConcluido = false;
    const int indice = m_atual;
    connect(m_upload, &Upload::progresso, this, &EnvioLote::progresso);
    connect(m_upload, &Upload::respostaConcluida, this, [this, indice, item](const RespostaUpload& resposta) {
        emit respondida(indice, resposta, registraEntrega(item.ie, item.razaoSocial, resposta));
        concluiItem();
    });
    connect(m_upload, &Upload::erroSocket, this, [this, indice](const QString& descricao) {
        emit falhou(indice, descricao);
        concluiItem();
    });
    emit enviando(indice, int(m_itens.size()), item.razaoSocial);

    PedidoUpload pedido = pedidoUpload(EnderecoUpload(servidor::caminhoUploadVaf, m_contador, item.chave, item.gias),
                                       m_arquivo, m_nomeArquivo);
    const QPointer<EnvioLote> vivo(this);
    const InicioUpload inicio = m_upload->iniciar(pedido);
    if (!vivo || inicio.resultado == InicioUpload::Resultado::Abandonado)
        return;
    if (!inicio.iniciado() && !m_itemConcluido) {
        emit falhou(indice, inicio.mensagem);
        concluiItem();
    }
}

void EnvioLote::concluiItem()
{
    if (m_itemConcluido)
        return;
    m_itemConcluido = true;
    if (m_upload)
        m_upload->deleteLater();
    QMetaObject::invokeMethod(this, &EnvioLote::proximo, Qt::QueuedConnection);
}

} // namespace tervalia
