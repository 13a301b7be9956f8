#include "ConsultaHistoricos.h"

#include "net/Servidor.h"
#include "net/Soap.h"

#include <QMetaObject>

namespace tervalia {

namespace {
QString envelopeHistorico(const QString& ie, const QString& chave)
{
    namespace h = servidor::historico;
    return montaEnvelope(servidor::operacao::historico,
                         {{h::paramNome, ie}, {h::paramDiretorio, h::diretorio}, {h::paramChave, chave}});
}
} // namespace

ConsultaHistoricos::ConsultaHistoricos(QObject* parent) : QObject(parent) {}

// The calls are children: they go with this, and a call deleted says nothing.
ConsultaHistoricos::~ConsultaHistoricos() = default;

void ConsultaHistoricos::inicia(const QList<Empresa>& empresas)
{
    if (m_emAndamento)
        return;
    m_empresas = empresas;
    m_proxima = m_emCurso = m_respondidas = 0;
    m_cancelada = false;
    m_emAndamento = true;
    lanca();
    // Nothing to ask: the end is told from the event loop too.
    if (m_emCurso == 0)
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_emAndamento = false;
                emit terminou();
            },
            Qt::QueuedConnection);
}

void ConsultaHistoricos::cancela()
{
    m_cancelada = m_emAndamento;
}

void ConsultaHistoricos::lanca()
{
    while (!m_cancelada && m_emCurso < maximoSimultaneas && m_proxima < m_empresas.size()) {
        const Empresa& empresa = m_empresas.at(m_proxima++);
        ++m_emCurso;
        auto* chamada =
            new ChamadaSoap(servidor::operacao::historico, envelopeHistorico(empresa.ie, empresa.chave), this);
        const QString ie = empresa.ie;
        const situacao::Consulta anterior = empresa.anterior;
        connect(chamada, &ChamadaSoap::respondida, this, [=, this](const QString& resposta) {
            conclui(chamada, ie, situacao::leResposta(resposta, QDateTime::currentDateTime(), anterior));
        });
        connect(chamada, &ChamadaSoap::falhou, this,
                [=, this](const QString& descricao) { conclui(chamada, ie, situacao::comFalha(descricao, anterior)); });
        emit consultando(m_proxima, int(m_empresas.size()), empresa.razaoSocial);
        chamada->iniciar();
    }
}

void ConsultaHistoricos::conclui(ChamadaSoap* chamada, const QString& ie, const situacao::Consulta& consulta)
{
    chamada->deleteLater();
    --m_emCurso;
    ++m_respondidas;
    emit consultada(ie, consulta);
    lanca();
    if (m_emCurso == 0) {
        m_emAndamento = false;
        emit terminou();
    }
}

} // namespace tervalia
