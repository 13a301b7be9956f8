#include "server/Respostas.h"

#include "net/Servidor.h"
#include "server/SoapMessage.h"

namespace tervalia::standin {

namespace {

namespace chave = servidor::chave;
namespace historico = servidor::historico;
namespace detalhes = servidor::detalhes;

// Appends `label`, then blanks, then `value` so that the value starts at the 1-based position `pos`.
void fieldAt(QString& line, QStringView label, int pos, QStringView value)
{
    line += label;
    Q_ASSERT(line.size() < pos);
    line += QString(pos - 1 - line.size(), u' ');
    line += value;
}

// Appends ` name="value"`, with extra blanks before the name so that the value starts at `pos`.
void attributeAt(QString& line, QStringView name, int pos, QStringView value)
{
    const qsizetype blanks = pos - 1 - (line.size() + name.size() + 2);
    Q_ASSERT(blanks >= 1);
    line += QString(blanks, u' ');
    line += name;
    line += u"=\"";
    line += escapeXmlAttribute(value);
    line += u'"';
}

QString element(QStringView name, QStringView text)
{
    return QStringLiteral("<%1>%2</%1>").arg(name, escapeXmlText(text));
}

} // namespace

QString formatDataHora(const QDateTime& moment)
{
    return moment.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

QString respostaChave(const QDateTime& agora, bool simples, const QString& chaveEmpresa)
{
    QString line;
    fieldAt(line, u"DATAHORA_SERVIDOR =", chave::posDataHora, formatDataHora(agora));
    fieldAt(line, u" SIMPLES =", chave::posSimples, simples ? u"S" : u"N");
    fieldAt(line, u" CHAVE =", chave::posChave, chaveEmpresa.leftJustified(chave::lenChave, u' ', true));
    return line;
}

QString respostaHistorico(const QDateTime& agora, const QString& anoTrabalho, const QString& versao,
                          const QList<LinhaHistorico>& entregas)
{
    QString text = QStringLiteral("<") + historico::raiz;
    attributeAt(text, u"dataHora", historico::posDataServidor, formatDataHora(agora));
    attributeAt(text, u"anos", historico::posAnoTrabalho,
                anoTrabalho.leftJustified(historico::lenAnoTrabalho, u' ', true));
    attributeAt(text, u"versao", historico::posVersao, versao.leftJustified(historico::lenVersao, u' ', true));
    text += u'>';
    for (const LinhaHistorico& e : entregas) {
        text += QStringLiteral("<%1>").arg(historico::item);
        const QString valores[] = {e.referencia, e.data, e.protocolo, QString::number(e.status), e.adicionado};
        for (int i = 0; i < 5; ++i)
            text += element(QString(historico::campos[i]), valores[i]);
        text += QStringLiteral("</%1>").arg(historico::item);
    }
    text += QStringLiteral("</%1>").arg(historico::raiz);
    return text;
}

QString respostaDetalhes(const QList<MensagemEntrega>& mensagens)
{
    QString text = QStringLiteral("<mensagens>");
    for (const MensagemEntrega& m : mensagens) {
        text += QStringLiteral("<mensagem");
        if (!m.protocolo.isEmpty())
            text += QStringLiteral(" %1=\"%2\"").arg(detalhes::atributoProtocolo, escapeXmlAttribute(m.protocolo));
        text += u'>';
        text += element(QString(detalhes::elementoDetalhe), m.detalhe);
        text += QStringLiteral("</mensagem>");
    }
    text += QStringLiteral("</mensagens>");
    return text;
}

} // namespace tervalia::standin
