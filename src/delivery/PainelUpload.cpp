#include "PainelUpload.h"

#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace tervalia {

namespace {
QPlainTextEdit* caixaTexto(QWidget* pai, const char* nome)
{
    auto* t = new QPlainTextEdit(pai);
    t->setObjectName(QLatin1String(nome));
    t->setReadOnly(true);
    t->setTabChangesFocus(true);
    t->setMaximumBlockCount(2000);
    return t;
}

QLineEdit* linha(QWidget* pai, const char* nome, const QString& texto)
{
    auto* l = new QLineEdit(texto, pai);
    l->setObjectName(QLatin1String(nome));
    return l;
}

// A field the user cannot change shows the window's colour, not an input's white.
void somenteLeitura(QWidget* campo)
{
    if (auto* l = qobject_cast<QLineEdit*>(campo))
        l->setReadOnly(true);
    QPalette p = campo->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Window));
    campo->setPalette(p);
}

const QString textoInicial = QStringLiteral("100% restante");
} // namespace

PainelUpload::PainelUpload(QWidget* parent) : QWidget(parent), m_detalhes(new QWidget(this))
{
    txtUrl =
        linha(m_detalhes, "txtUrl", QStringLiteral("http://localhost:80 /client/xt_upload.php?contador=&chave=&gias="));
    txtName = linha(m_detalhes, "txtName", QStringLiteral("objArquivo"));
    txtMIMEType = linha(m_detalhes, "txtMIMEType", QStringLiteral("application/octet-stream"));
    txtUploadFile = linha(m_detalhes, "txtUploadFile", {});
    txtRequest = caixaTexto(m_detalhes, "txtRequest");
    txtResponse = caixaTexto(m_detalhes, "txtResponse");
    for (QWidget* w : {static_cast<QWidget*>(txtUrl), static_cast<QWidget*>(txtUploadFile),
                       static_cast<QWidget*>(txtRequest), static_cast<QWidget*>(txtResponse)})
        somenteLeitura(w);
    lblSendSpeed = new QLabel(textoInicial, this);
    lblSendSpeed->setObjectName(QStringLiteral("lblSendSpeed"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setAccessibleName(QStringLiteral("Progresso do envio"));

    auto* form = new QFormLayout(m_detalhes);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(rotulo("lblUrl", QStringLiteral("Upload URL"), txtUrl), txtUrl);
    form->addRow(rotulo("lblName", QStringLiteral("Name"), txtName), txtName);
    form->addRow(rotulo("lblMIMEType", QStringLiteral("MIME Type"), txtMIMEType), txtMIMEType);
    form->addRow(rotulo("lblUploadFile", QStringLiteral("Arquivo"), txtUploadFile), txtUploadFile);
    form->addRow(rotulo("lblRequest", QStringLiteral("HTTP Request:"), txtRequest), txtRequest);
    form->addRow(rotulo("lblResponse", QStringLiteral("HTTP Response"), txtResponse), txtResponse);

    detalhes = new QToolButton(this);
    detalhes->setObjectName(QStringLiteral("detalhesTecnicos"));
    detalhes->setText(QStringLiteral("Detalhes técnicos"));
    detalhes->setCheckable(true);
    detalhes->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    detalhes->setArrowType(Qt::RightArrow);
    connect(detalhes, &QToolButton::toggled, this, &PainelUpload::setDetalhesVisiveis);

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(lblSendSpeed);
    v->addWidget(ProgressBar1);
    v->addWidget(detalhes, 0, Qt::AlignLeft);
    v->addWidget(m_detalhes, 1);
    setDetalhesVisiveis(false);
    // The panel keeps its place while the progress is hidden.
    for (QWidget* w : {static_cast<QWidget*>(lblSendSpeed), static_cast<QWidget*>(ProgressBar1)}) {
        QSizePolicy politica = w->sizePolicy();
        politica.setRetainSizeWhenHidden(true);
        w->setSizePolicy(politica);
    }
    limpaProgresso();

    for (QWidget* w :
         {static_cast<QWidget*>(txtUrl), static_cast<QWidget*>(txtName), static_cast<QWidget*>(txtMIMEType),
          static_cast<QWidget*>(txtUploadFile), static_cast<QWidget*>(txtRequest), static_cast<QWidget*>(txtResponse)})
        w->installEventFilter(this);
}

PainelUpload::~PainelUpload() = default;

QLabel* PainelUpload::rotulo(const char* nome, const QString& texto, QWidget* controle)
{
    auto* l = new QLabel(texto, m_detalhes);
    l->setObjectName(QLatin1String(nome));
    l->setBuddy(controle);
    controle->setAccessibleName(texto.endsWith(u':') ? texto.chopped(1) : texto);
    l->installEventFilter(this);
    return l;
}

void PainelUpload::setDetalhesVisiveis(bool visiveis)
{
    m_detalhes->setVisible(visiveis);
    detalhes->setChecked(visiveis);
    detalhes->setArrowType(visiveis ? Qt::DownArrow : Qt::RightArrow);
}

void PainelUpload::iniciaProgresso()
{
    lblSendSpeed->setText(textoInicial);
    ProgressBar1->setValue(0);
    lblSendSpeed->show();
    ProgressBar1->show();
}

void PainelUpload::limpaProgresso()
{
    lblSendSpeed->setText(textoInicial);
    ProgressBar1->setValue(0);
    lblSendSpeed->hide();
    ProgressBar1->hide();
}

bool PainelUpload::eventFilter(QObject* objeto, QEvent* evento)
{
    if (evento->type() == QEvent::MouseButtonRelease) {
        if (auto* l = qobject_cast<QLabel*>(objeto); l && l->buddy())
            l->buddy()->setFocus(Qt::MouseFocusReason);
    } else if (evento->type() == QEvent::FocusIn) {
        // After the click that gave the focus has placed the cursor.
        if (auto* l = qobject_cast<QLineEdit*>(objeto))
            QTimer::singleShot(0, l, &QLineEdit::selectAll);
        else if (auto* t = qobject_cast<QPlainTextEdit*>(objeto))
            QTimer::singleShot(0, t, &QPlainTextEdit::selectAll);
    }
    return QWidget::eventFilter(objeto, evento);
}

} // namespace tervalia
