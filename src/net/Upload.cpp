#include "Upload.h"

#include "net/Servidor.h"
#include "net/Tls.h"
#include "platform/BlockingWait.h"
#include "platform/Pausa.h"
#include "storage/ReadWrite.h"
#include "text/Windows1252.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSslSocket>

#include <optional>
#include <variant>

namespace tervalia {

namespace {
const QString tituloErro = QStringLiteral("ERROR");
constexpr qint64 pedaco = 1 << 20;         // bytes handed to the socket at a time
constexpr qint64 filaMaxima = 2 * pedaco;  // the socket's own buffer never holds more than this
constexpr qint64 maximoResposta = 1 << 20; // of the server's answer, kept and shown

// The port of the address, or, when it carries none, the settings' port; a port that no address can
// reach is an error in Portuguese.
std::variant<quint16, QString> portaDoEnvio(qint32 portaEndereco, const QString& portaConfiguracao)
{
    qint64 porta = portaEndereco;
    if (porta == 0) {
        const QString texto = portaConfiguracao.trimmed();
        static const QRegularExpression numero(QStringLiteral("^[+-]?[0-9]{1,10}$"));
        if (texto.isEmpty())
            return QStringLiteral("A porta do servidor não está definida em dipam.ini.");
        if (!numero.match(texto).hasMatch())
            return QStringLiteral("A porta do servidor em dipam.ini (\"%1\") não é um número.").arg(texto);
        porta = texto.toLongLong();
    }
    if (porta < 1 || porta > 32767)
        return QStringLiteral("A porta %1 está fora do intervalo aceito (1 a 32767).").arg(porta);
    return static_cast<quint16>(porta);
}

QString descricao(QAbstractSocket::SocketError erro, const QString& doSistema)
{
    switch (erro) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("O servidor recusou a conexão.");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("O servidor não foi encontrado.");
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("O servidor encerrou a conexão antes de responder; a entrega não foi confirmada.");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("O servidor não respondeu dentro do tempo limite.");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("A rede não está disponível (%1).").arg(doSistema);
    default:
        return QStringLiteral("Falha na comunicação com o servidor (%1).").arg(doSistema);
    }
}

bool pronto(const QSslSocket* socket, bool seguro)
{
    return socket->state() == QAbstractSocket::ConnectedState && (!seguro || socket->isEncrypted());
}

// The wait for the connection, the one place the upload runs an event loop of its own. It ends on
// the connect event (over TLS: on the handshake's success), on an error or at the time limit;
// events go on being processed, user input waits. True when ready for the request.
bool esperaConexao(QSslSocket* socket, bool seguro, int limiteMs)
{
    const QPointer<QSslSocket> vivo(socket);
    if (!pronto(socket, seguro) && socket->error() == QAbstractSocket::UnknownSocketError) {
        // A window closed while the connection is awaited closes once its handler has returned.
        const BlockingWait espera;
        QEventLoop loop;
        QTimer limite;
        limite.setSingleShot(true);
        QObject::connect(socket, seguro ? &QSslSocket::encrypted : &QSslSocket::connected, &loop, &QEventLoop::quit);
        QObject::connect(socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
        QObject::connect(socket, &QObject::destroyed, &loop, &QEventLoop::quit);
        QObject::connect(&limite, &QTimer::timeout, &loop, &QEventLoop::quit);
        limite.start(limiteMs);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return vivo && pronto(vivo, seguro);
}
} // namespace

QString EnderecoUpload(QLatin1StringView caminho, const QString& contador, const QString& chave, const QString& gias)
{
    return tls::esquemaConfigurado() + QStringLiteral("://") +
           ReadFromFile(servidor::secaoConfiguracao, servidor::chaveHost) + u':' +
           ReadFromFile(servidor::secaoConfiguracao, servidor::chavePorta) + u' ' + caminho + u'?' +
           servidor::queryContador + u'=' + contador + u'&' + servidor::queryChave + u'=' + chave + u'&' +
           servidor::queryGias + u'=' + gias;
}

PedidoUpload pedidoUpload(const QString& endereco, const QString& arquivo, const QString& nomeArquivo)
{
    PedidoUpload p;
    p.endereco = endereco;
    p.portaConfiguracao = ReadFromFile(servidor::secaoConfiguracao, servidor::chavePorta);
    p.arquivo = arquivo;
    p.nomeArquivo = nomeArquivo;
    return p;
}

OpcoesUpload OpcoesUpload::vaf()
{
    return {};
}

OpcoesUpload OpcoesUpload::simplesNacional()
{
    OpcoesUpload o;
    o.pausaAntesMs = 50;
    o.pausaDepoisMs = 100;
    o.pausaRespostaMs = 1500;
    o.reacaoErro = ReacaoErro::FecharJanela;
    const QString marca = servidor::marcaArquivoInvalido;
    o.marcasRecusa = {
        {marca + QStringLiteral("EXTRATO"),
         QStringLiteral("O arquivo que você enviou (Extrato) não é correto para esta operação, por favor, verifique o "
                        "manual que está disponível no site.")},
        {marca + QStringLiteral("RECIBO"),
         QStringLiteral("O arquivo que você enviou (Recibo) não é correto para esta operação, por favor, verifique o "
                        "manual que está disponível no site.")},
        {marca + QStringLiteral("MODIFICADO"),
         QStringLiteral(
             "O arquivo que você enviou foi modificado, você deverá fazer o download do arquivo original no "
             "site PGDAS. Se você decidir imprimir e salvar o resultado da impressão em PDF continuará dando "
             "erro, a maneira correta para isto é Salvar o arquivo.")},
    };
    return o;
}

Upload::Upload(OpcoesUpload opcoes, QObject* parent) : QObject(parent), m_opcoes(std::move(opcoes))
{
    m_silencio.setSingleShot(true);
    m_fimResposta.setSingleShot(true);
    connect(&m_fimResposta, &QTimer::timeout, this, &Upload::concluiResposta);
    connect(&m_silencio, &QTimer::timeout, this,
            [this] { falha(descricao(QAbstractSocket::SocketTimeoutError, QString())); });
}

Upload::~Upload()
{
    cancelar();
}

InicioUpload Upload::recusa(InicioUpload::Resultado resultado, const QString& mensagem)
{
    return {resultado, mensagem, mensagem.isEmpty() ? QString() : tituloErro};
}

InicioUpload Upload::iniciar(const PedidoUpload& pedido)
{
    using R = InicioUpload::Resultado;
    if (!m_certificadoValido || m_conectado || (m_estado != Estado::Ocioso && m_estado != Estado::Falhou))
        return recusa(R::Ignorado, {});
    if (pedido.arquivo.isEmpty())
        return recusa(R::SemArquivo, QStringLiteral("No File Chosen"));
    UrlParts url;
    try {
        url = SplitUrl(pedido.endereco);
    } catch (const UrlError& e) {
        return recusa(R::PortaInvalida, e.description());
    }
    if (url.Host.isEmpty())
        return recusa(R::HostInvalido, QStringLiteral("Invalid Host"));
    const auto porta = portaDoEnvio(url.Port, pedido.portaConfiguracao);
    if (const QString* erro = std::get_if<QString>(&porta))
        return recusa(R::PortaInvalida, *erro);
    // TLS when either the address or the settings ask for it: never in clear by a mismatch.
    tls::Transporte transporte = tls::transporteConfigurado();
    if (!transporte.erro.isEmpty())
        return recusa(R::SemConexaoSegura, transporte.erro);
    if (url.Scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 && !transporte.seguro) {
        transporte.seguro = true;
        transporte.configuracao = QSslConfiguration::defaultConfiguration();
    }
    // A file that cannot be read is not sent: an empty part would be a delivery of nothing. The
    // content is read as it is sent, so that a large file is never held whole in memory.
    cancelar();
    m_arquivo.setFileName(pedido.arquivo);
    if (!m_arquivo.open(QIODevice::ReadOnly))
        return recusa(R::ArquivoIlegivel, erroLeitura(pedido.arquivo, m_arquivo.errorString()));
    const QByteArray inicioConteudo = m_arquivo.peek(2048);

    m_pedido = pedido;
    m_requisicao = MontaRequisicao(m_arquivo.size(), inicioConteudo, url, pedido.nomeCampo, pedido.nomeArquivo,
                                   pedido.tipoMime, GeraDelimitador(32));
    m_modificadoEm = QFileInfo(m_arquivo).lastModified();
    m_entregues = m_escritos = m_totalEnvio = 0;
    m_houveProgresso = false;
    m_resposta.clear();
    m_leitorResposta = http::ResponseReader(maximoResposta);
    m_socket = new QSslSocket(this);
    m_estado = Estado::Conectando;
    if (transporte.seguro) {
        connect(m_socket, &QSslSocket::encrypted, this, [this] { m_conectado = true; });
        tls::conectaSeguro(*m_socket, url.Host, std::get<quint16>(porta), transporte.configuracao);
    } else {
        connect(m_socket, &QSslSocket::connected, this, [this] { m_conectado = true; });
        m_socket->connectToHost(url.Host, std::get<quint16>(porta));
    }

    const QPointer<Upload> vivo(this);
    const bool ligado = esperaConexao(m_socket, transporte.seguro, m_opcoes.limiteConexaoMs);
    if (!vivo)
        return recusa(R::Abandonado, {});
    if (!ligado) {
        const auto erro = m_socket->error() == QAbstractSocket::UnknownSocketError ? QAbstractSocket::SocketTimeoutError
                                                                                   : m_socket->error();
        // Over TLS a close or a failure once connected is the handshake's.
        const bool handshake = transporte.seguro && (erro == QAbstractSocket::SslHandshakeFailedError ||
                                                     erro == QAbstractSocket::RemoteHostClosedError ||
                                                     erro == QAbstractSocket::SslInternalError);
        falha(handshake ? tls::descricaoFalha(*m_socket, url.Host) : descricao(erro, m_socket->errorString()));
        return recusa(R::ConexaoFalhou, {});
    }

    m_socket->disconnect(this); // the connect events are over
    connect(m_socket, &QTcpSocket::bytesWritten, this, &Upload::aoEscrever);
    connect(m_socket, &QTcpSocket::readyRead, this, &Upload::aoReceber);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &Upload::aoErro);
    connect(m_socket, &QTcpSocket::disconnected, this, &Upload::aoFechar);
    m_estado = Estado::Enviando;
    emit requisicaoPronta(m_requisicao.textoPainel());
    pausa(m_opcoes.pausaAntesMs);
    alimenta();
    if (m_estado == Estado::Enviando)
        m_silencio.start(m_opcoes.limiteSilencioMs);
    pausa(m_opcoes.pausaDepoisMs);
    return recusa(R::Iniciado, {}); // a file that failed to read meanwhile was told through erroSocket
}

void Upload::cancelar()
{
    m_silencio.stop();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    m_conectado = false;
    m_arquivo.close();
}

// Hands the request to the socket a piece at a time as the socket drains, so that the content is
// never copied whole into the socket's own buffer.
void Upload::alimenta()
{
    const Requisicao& r = m_requisicao;
    const qint64 inicioConteudo = r.cabecalhos.size() + r.inicioCorpo.size();
    const qint64 fimConteudo = inicioConteudo + r.tamanhoConteudo;
    while (m_socket && m_socket->bytesToWrite() < filaMaxima && m_entregues < r.tamanho()) {
        QByteArrayView parte;
        if (m_entregues < r.cabecalhos.size()) {
            parte = QByteArrayView(r.cabecalhos).sliced(m_entregues);
        } else if (m_entregues < inicioConteudo) {
            parte = QByteArrayView(r.inicioCorpo).sliced(m_entregues - r.cabecalhos.size());
        } else if (m_entregues < fimConteudo) {
            if (!leProximoPedaco(std::min(pedaco, fimConteudo - m_entregues)))
                return;
            parte = m_pedaco;
        } else {
            parte = QByteArrayView(r.fimCorpo).sliced(m_entregues - fimConteudo);
        }
        if (m_socket->write(parte.data(), parte.size()) != parte.size())
            return;
        m_entregues += parte.size();
    }
}

// The next n bytes of the content; a file that can no longer be read ends the upload.
bool Upload::leProximoPedaco(qint64 n)
{
    m_pedaco.resize(n);
    qint64 lidos = 0;
    while (lidos < n) {
        const qint64 r = m_arquivo.read(m_pedaco.data() + lidos, n - lidos);
        if (r <= 0) {
            falha(erroLeitura(m_pedido.arquivo, r < 0 ? m_arquivo.errorString()
                                                      : QStringLiteral("o arquivo ficou menor durante o envio.")));
            return false;
        }
        lidos += r;
    }
    return true;
}

void Upload::aoEscrever(qint64 bytes)
{
    if (m_estado != Estado::Enviando)
        return;
    m_escritos += bytes;
    m_silencio.start(m_opcoes.limiteSilencioMs);
    const qint64 restante = m_requisicao.tamanho() - m_escritos;
    if (!m_houveProgresso) {
        m_houveProgresso = true;
        m_totalEnvio = restante;
    }
    if (const auto percentual = percentualEnvio(m_totalEnvio, restante))
        emit progresso(textoProgresso(*percentual), *percentual);
    if (restante > 0) {
        alimenta();
        return;
    }
    m_estado = Estado::Enviado;
    m_conectado = false;
    emit envioConcluido(QStringLiteral("Aguarde, carregando informações"));
}

// The first data switch the main window on at once; the answer itself is read to its end (the
// server closes an HTTP/1.0 answer, or its length is reached) before it is judged, since an answer
// cut after its first bytes would record an accepted delivery as refused.
void Upload::aoReceber()
{
    if (!m_socket)
        return;
    if (m_estado != Estado::Enviando && m_estado != Estado::Enviado && m_estado != Estado::Recebendo) {
        m_socket->readAll(); // after the answer: dropped
        return;
    }
    const QByteArray dados = m_socket->read(maximoResposta - m_resposta.size());
    m_socket->readAll(); // beyond the bound: not kept
    m_resposta += dados;
    const auto leitura = m_leitorResposta.feed(dados);
    if (m_estado != Estado::Recebendo) {
        m_estado = Estado::Recebendo;
        m_silencio.stop();
        m_fimResposta.start(m_opcoes.limiteRespostaMs);
        const QPointer<Upload> vivo(this);
        emit dadosRecebidos(decodeUtf8OrWindows1252(m_resposta));
        if (!vivo)
            return;
    }
    if (leitura == http::ResponseReader::State::Done || m_resposta.size() >= maximoResposta)
        concluiResposta();
}

void Upload::concluiResposta()
{
    if (m_estado != Estado::Recebendo)
        return;
    m_estado = Estado::Respondido;
    m_fimResposta.stop();
    cancelar();
    RespostaUpload resposta;
    resposta.texto = decodeUtf8OrWindows1252(m_resposta);
    pausa(m_opcoes.pausaRespostaMs);
    for (const OpcoesUpload::Marca& m : std::as_const(m_opcoes.marcasRecusa)) {
        if (resposta.texto.contains(m.marca))
            resposta.mensagensRecusa.append(m.mensagem);
    }
    resposta.resposta = m_resposta;
    resposta.cabecalhos = m_requisicao.cabecalhos;
    resposta.endereco = m_pedido.endereco;
    resposta.arquivo = m_pedido.arquivo;
    resposta.nomeArquivo = m_pedido.nomeArquivo;
    resposta.tamanhoConteudo = m_requisicao.tamanhoConteudo;
    resposta.modificadoEm = m_modificadoEm;
    emit respostaConcluida(resposta);
}

void Upload::aoErro(QAbstractSocket::SocketError erro)
{
    if (m_estado == Estado::Enviando || m_estado == Estado::Enviado || m_estado == Estado::Recebendo)
        falha(descricao(erro, m_socket ? m_socket->errorString() : QString()));
}

// A close before any answer leaves the delivery unconfirmed: the user is told, not left waiting.
void Upload::aoFechar()
{
    m_conectado = false;
    falha(descricao(QAbstractSocket::RemoteHostClosedError, QString()));
}

void Upload::falha(const QString& texto)
{
    if (m_estado == Estado::Recebendo) {
        // The server closed or reset after answering: what arrived is the answer.
        concluiResposta();
        return;
    }
    if (m_estado == Estado::Falhou || m_estado == Estado::Respondido)
        return;
    m_estado = Estado::Falhou;
    cancelar();
    const QPointer<Upload> vivo(this);
    emit erroSocket(texto);
    if (vivo)
        emit fechado();
}

} // namespace tervalia
