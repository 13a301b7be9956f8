#pragma once

#include "net/HttpPost.h"
#include "net/Requisicao.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

class QSslSocket;

namespace tervalia {

// What differs between the two delivery windows.
struct OpcoesUpload
{
    // What a window does on a socket error: show the description, or close itself silently.
    enum class ReacaoErro { Mensagem, FecharJanela };
    struct Marca
    {
        QString marca;    // looked for in the first data
        QString mensagem; // shown when found
    };

    int pausaAntesMs = 0;    // blocking pause before the request is handed to the socket
    int pausaDepoisMs = 0;   // blocking pause right after
    int pausaRespostaMs = 0; // blocking pause after the first data, before the markers are looked for
    ReacaoErro reacaoErro = ReacaoErro::Mensagem;
    QList<Marca> marcasRecusa;     // in the order their messages are shown
    int limiteConexaoMs = 30000;   // the connection must be made within this time
    int limiteSilencioMs = 120000; // longest time without progress while sending, or before the answer
    int limiteRespostaMs = 5000;   // longest time from the answer's first data to its end

    // frmUpload (VAF): no pauses, no markers, the error shown.
    static OpcoesUpload vaf();
    // frmUploadSimples: pauses of 50 ms, 100 ms and 1500 ms, the three refusal markers, closes on error.
    static OpcoesUpload simplesNacional();
};

// One upload as a window asks for it.
struct PedidoUpload
{
    QString endereco;          // the full address the window built (txtUrl)
    QString portaConfiguracao; // "port" of the settings: used when the address carries no port
    QString arquivo;           // path of the content to send (txtUploadFile, or vaf.mdb)
    QString nomeCampo = QStringLiteral("objArquivo");
    QString nomeArquivo; // the file name as the file list shows it
    QString tipoMime = QStringLiteral("application/octet-stream");
};

// The address of an upload page as the delivery windows write it, with host and port read afresh
// from dipam.ini and the blank before the path: "http://" ("https://" with protocolo=https) + host + ":" + port + " " +
// caminho +
// "?contador=" + contador + "&chave=" + chave + "&gias=" + gias.
QString EnderecoUpload(QLatin1StringView caminho, const QString& contador, const QString& chave, const QString& gias);
// A request for that address, with the settings' port for the fallback and the form field and
// MIME type the windows show ("objArquivo", "application/octet-stream").
PedidoUpload pedidoUpload(const QString& endereco, const QString& arquivo, const QString& nomeArquivo);

// How iniciar ended. When mensagem is not empty the window shows it with titulo and the critical
// icon; ConexaoFalhou has already been told through erroSocket.
struct InicioUpload
{
    enum class Resultado {
        Iniciado,
        Ignorado, // certificate not accepted, or an upload already under way: nothing happens
        SemArquivo,
        HostInvalido,
        PortaInvalida,
        ArquivoIlegivel,  // nothing is sent
        SemConexaoSegura, // the settings ask for a secure connection that cannot be made: nothing is sent
        ConexaoFalhou,
        Abandonado, // the component was destroyed during the wait
    };
    Resultado resultado = Resultado::Ignorado;
    QString mensagem;
    QString titulo;
    bool iniciado() const { return resultado == Resultado::Iniciado; }
};

// What the first data brought, once the upload has handled it, with what was sent: the window
// keeps its own record of the delivery from these.
struct RespostaUpload
{
    QString texto;               // the first data as text (UTF-8, or Windows-1252 when not UTF-8)
    QStringList mensagensRecusa; // messages of the refusal markers found, in order
    QByteArray resposta;         // the first data as received
    QByteArray cabecalhos;       // the request headers as sent
    QString endereco;            // the address the request went to
    QString arquivo;             // path the content was read from
    QString nomeArquivo;         // the file name the request carried
    qint64 tamanhoConteudo = 0;  // bytes of content sent
    QDateTime modificadoEm;      // of the content's file when the upload started
};

// The delivery's HTTP/1.0 multipart POST, written byte for byte on a TCP socket, or the same bytes
// inside TLS when the settings or the address ask for it (net/Tls.h). A delivery window
// owns one, sets certificadoValido from its certificate check and calls iniciar from its send
// button; the signals carry what the window shows. One answer ends the upload for good: later
// data is dropped and iniciar does nothing more. Slots connected to these signals must not delete
// the upload at once (close the window, which deletes it later).
class Upload : public QObject
{
    Q_OBJECT

public:
    // Recebendo: the first data came, the rest of the answer is being read.
    enum class Estado { Ocioso, Conectando, Enviando, Enviado, Recebendo, Respondido, Falhou };

    explicit Upload(OpcoesUpload opcoes = OpcoesUpload::vaf(), QObject* parent = nullptr);
    ~Upload() override;

    const OpcoesUpload& opcoes() const { return m_opcoes; }
    void setCertificadoValido(bool valido) { m_certificadoValido = valido; }
    bool certificadoValido() const { return m_certificadoValido; }
    // From the connect event until the request is all sent or the socket closes.
    bool conectado() const { return m_conectado; }
    // Bytes still to send at the first progress event; 0 until then.
    qint64 totalEnvio() const { return m_totalEnvio; }
    Estado estado() const { return m_estado; }
    // The request as built by the last iniciar that got that far.
    const Requisicao& requisicao() const { return m_requisicao; }

    // Reads the file, builds the request, connects and waits for the connection, over TLS for its
    // handshake (user input held back meanwhile, never longer than limiteConexaoMs), then hands the request to the
    // socket and returns; progress, completion and the answer follow as signals.
    InicioUpload iniciar(const PedidoUpload& pedido);
    // Drops the connection without any signal (the window is closing).
    void cancelar();

signals:
    void requisicaoPronta(const QString& textoPainel); // txtRequest, just before sending
    void progresso(const QString& texto, int valor);   // lblSendSpeed and ProgressBar1
    void envioConcluido(const QString& texto);         // "Aguarde, carregando informações"
    void dadosRecebidos(const QString& texto);         // the first data: txtResponse, main window on
    // After the pause and the markers: the record, messages, refresh, close.
    void respostaConcluida(const tervalia::RespostaUpload& resposta);
    void erroSocket(const QString& descricao); // refused, reset, silent server: the upload is over
    void fechado();                            // the connection is closed, right after erroSocket

private:
    static InicioUpload recusa(InicioUpload::Resultado resultado, const QString& mensagem);
    void alimenta();
    void aoEscrever(qint64 bytes);
    void aoReceber();
    void aoErro(QAbstractSocket::SocketError erro);
    void aoFechar();
    void concluiResposta();
    void falha(const QString& descricao);
    bool leProximoPedaco(qint64 n);

    OpcoesUpload m_opcoes;
    bool m_certificadoValido = false;
    bool m_conectado = false;
    qint64 m_totalEnvio = 0;
    bool m_houveProgresso = false;
    Estado m_estado = Estado::Ocioso;
    PedidoUpload m_pedido;
    Requisicao m_requisicao;
    qint64 m_entregues = 0;   // bytes handed to the socket
    qint64 m_escritos = 0;    // bytes the socket has written out
    QFile m_arquivo;          // the content, read as it is sent
    QByteArray m_pedaco;      // the piece being handed to the socket
    QDateTime m_modificadoEm; // of the file when the upload started
    QByteArray m_resposta;
    QPointer<QSslSocket> m_socket; // plain unless the settings or the address ask for TLS
    QTimer m_silencio;
    QTimer m_fimResposta;
    http::ResponseReader m_leitorResposta{1 << 20}; // tells when the answer is whole
};

} // namespace tervalia

Q_DECLARE_METATYPE(tervalia::RespostaUpload)
