#include "EscolhaArquivo.h"

#include "platform/ProgramDir.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSaveFile>
#include <QStorageInfo>

namespace tervalia {

namespace {
const QString nomeArquivoPasta = QStringLiteral("ultima-pasta.txt");

QString& pastaDaSessao()
{
    static QString pasta;
    return pasta;
}

// The file last chosen, in the folder of the session.
QString& arquivoDaSessao()
{
    static QString arquivo;
    return arquivo;
}

QString pastaGuardada()
{
    QFile f(programFile(nomeArquivoPasta));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readLine(4096)).trimmed();
}

bool legivel(const QString& pasta)
{
    const QDir d(pasta);
    return !pasta.isEmpty() && d.exists() && d.isReadable();
}
} // namespace

QString EscolhaArquivo::ultimaPasta()
{
    if (legivel(pastaDaSessao()))
        return pastaDaSessao();
    const QString guardada = pastaGuardada();
    return legivel(guardada) ? guardada : QDir::homePath();
}

void EscolhaArquivo::lembraPasta(const QString& pasta)
{
    pastaDaSessao() = pasta;
    // Only a convenience: a program directory that cannot be written keeps the folder for the run.
    QSaveFile f(programFile(nomeArquivoPasta));
    if (f.open(QIODevice::WriteOnly)) {
        f.write(pasta.toUtf8() + '\n');
        f.commit();
    }
}

void EscolhaArquivo::esqueceUltimaPasta()
{
    pastaDaSessao().clear();
    arquivoDaSessao().clear();
}

bool EscolhaArquivo::terminaCom(const QString& nome, const QString& final)
{
    return nome.size() >= final.size() && nome.right(final.size()).compare(final, Qt::CaseInsensitive) == 0;
}

EscolhaArquivo::EscolhaArquivo(QWidget* parent)
    : QWidget(parent), m_unidades(new QComboBox(this)), m_pastas(new QListWidget(this)),
      m_arquivos(new QListWidget(this)), m_caminho(new QLineEdit(this))
{
    m_unidades->setObjectName(QStringLiteral("Drive1"));
    m_pastas->setObjectName(QStringLiteral("dir"));
    m_arquivos->setObjectName(QStringLiteral("file"));
    m_caminho->setObjectName(QStringLiteral("txtPasta"));
    m_caminho->setReadOnly(true);
    QPalette cores = m_caminho->palette();
    cores.setColor(QPalette::Base, cores.color(QPalette::Window));
    m_caminho->setPalette(cores);
    auto* rotuloCaminho = new QLabel(QStringLiteral("Pasta a&tual:"), this);
    rotuloCaminho->setBuddy(m_caminho);
    auto* rotuloUnidade = new QLabel(QStringLiteral("&Unidade:"), this);
    auto* rotuloPastas = new QLabel(QStringLiteral("&Pastas:"), this);
    auto* rotuloArquivos = new QLabel(QStringLiteral("&Arquivos:"), this);
    rotuloUnidade->setBuddy(m_unidades);
    rotuloPastas->setBuddy(m_pastas);
    rotuloArquivos->setBuddy(m_arquivos);
    m_unidades->setAccessibleName(QStringLiteral("Unidade"));
    m_pastas->setAccessibleName(QStringLiteral("Pastas"));
    m_arquivos->setAccessibleName(QStringLiteral("Arquivos"));

    auto* grade = new QGridLayout(this);
    grade->setContentsMargins(0, 0, 0, 0);
    auto* linhaCaminho = new QHBoxLayout;
    linhaCaminho->addWidget(rotuloCaminho);
    linhaCaminho->addWidget(m_caminho, 1);
    grade->addLayout(linhaCaminho, 0, 0, 1, 2);
    grade->addWidget(rotuloPastas, 1, 0);
    grade->addWidget(rotuloArquivos, 1, 1);
    grade->addWidget(m_pastas, 2, 0);
    grade->addWidget(m_arquivos, 2, 1, 3, 1);
    grade->addWidget(rotuloUnidade, 3, 0);
    grade->addWidget(m_unidades, 4, 0);

    preencheUnidades();
    connect(m_unidades, &QComboBox::activated, this, &EscolhaArquivo::unidadeEscolhida);
    connect(m_pastas, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        setPasta(QDir(m_pasta).absoluteFilePath(item->data(Qt::UserRole).toString()));
    });
    // A click is a choice. "Activated" is left alone: under a desktop that opens items with a single
    // click it follows the click, and a double click would choose twice; Enter is read here instead.
    connect(m_arquivos, &QListWidget::itemClicked, this, &EscolhaArquivo::escolheArquivo);
    m_arquivos->installEventFilter(this);
    setPasta(ultimaPasta());
}

EscolhaArquivo::~EscolhaArquivo() = default;

void EscolhaArquivo::preencheUnidades()
{
    m_unidades->addItem(QStringLiteral("Pasta pessoal (%1)").arg(QDir::toNativeSeparators(QDir::homePath())),
                        QDir::homePath());
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady() || !legivel(v.rootPath()))
            continue;
        const QString nome = v.displayName() == v.rootPath()
                                 ? v.rootPath()
                                 : QStringLiteral("%1 (%2)").arg(v.rootPath(), v.displayName());
        m_unidades->addItem(nome, v.rootPath());
    }
}

void EscolhaArquivo::unidadeEscolhida(int indice)
{
    setPasta(m_unidades->itemData(indice).toString());
}

bool EscolhaArquivo::setPasta(const QString& pasta)
{
    QDir d(pasta);
    if (!legivel(pasta))
        return false;
    m_pasta = d.absolutePath();
    m_pastas->clear();
    if (!d.isRoot()) {
        auto* acima = new QListWidgetItem(QStringLiteral(".."), m_pastas);
        acima->setData(Qt::UserRole, QStringLiteral(".."));
    }
    for (const QString& nome : d.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        auto* item = new QListWidgetItem(nome, m_pastas);
        item->setData(Qt::UserRole, nome);
    }
    m_arquivos->clear();
    for (const QString& nome : d.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase)) {
        if (m_final.isEmpty() || terminaCom(nome, m_final))
            m_arquivos->addItem(nome);
    }
    if (m_pasta == pastaDaSessao()) {
        const QList<QListWidgetItem*> ultimo = m_arquivos->findItems(arquivoDaSessao(), Qt::MatchExactly);
        if (!ultimo.isEmpty())
            m_arquivos->setCurrentItem(ultimo.first());
    }
    mostraUnidade();
    const QString caminho = QDir::toNativeSeparators(m_pasta);
    m_caminho->setText(caminho);
    m_caminho->setToolTip(caminho);
    m_pastas->setToolTip(caminho);
    m_pastas->setAccessibleDescription(caminho);
    return true;
}

void EscolhaArquivo::setFinal(const QString& final)
{
    m_final = final;
    setPasta(m_pasta);
}

bool EscolhaArquivo::eventFilter(QObject* objeto, QEvent* evento)
{
    if (objeto == m_arquivos && evento->type() == QEvent::KeyPress) {
        const int tecla = static_cast<QKeyEvent*>(evento)->key();
        if (tecla == Qt::Key_Return || tecla == Qt::Key_Enter) {
            escolheArquivo();
            return true;
        }
    }
    return QWidget::eventFilter(objeto, evento);
}

// The drive shown is the one holding the folder: the entry with the longest root above it.
void EscolhaArquivo::mostraUnidade()
{
    int melhor = -1;
    qsizetype tamanho = -1;
    for (int i = 0; i < m_unidades->count(); ++i) {
        const QString raiz = QDir(m_unidades->itemData(i).toString()).absolutePath();
        const bool contem = m_pasta == raiz || m_pasta.startsWith(raiz.endsWith(u'/') ? raiz : raiz + u'/');
        if (contem && raiz.size() > tamanho) {
            melhor = i;
            tamanho = raiz.size();
        }
    }
    if (melhor >= 0)
        m_unidades->setCurrentIndex(melhor);
}

QStringList EscolhaArquivo::arquivos() const
{
    QStringList nomes;
    for (int i = 0; i < m_arquivos->count(); ++i)
        nomes << m_arquivos->item(i)->text();
    return nomes;
}

void EscolhaArquivo::escolheArquivo()
{
    const QListWidgetItem* item = m_arquivos->currentItem();
    if (!item)
        return;
    const QString nome = item->text();
    lembraPasta(m_pasta);
    arquivoDaSessao() = nome;
    emit arquivoEscolhido(m_pasta, nome);
}

} // namespace tervalia
