#pragma once

#include <QString>
#include <QWidget>

class QComboBox;
class QLineEdit;
class QListWidget;

namespace tervalia {

// The file choice of the delivery windows: the drive list Drive1 (the mounted volumes that can be
// read, and the home folder), the folder list dir, the file list file (the files the window accepts)
// and the current folder's path txtPasta. Choosing a drive sets the folder list to it, opening a
// folder sets the file list to it, and one click on a file (or Enter) emits arquivoEscolhido once,
// whatever the desktop's single-click setting. It starts in the last folder used (kept for the run
// and in the program directory's ultima-pasta.txt), or in the home folder, with the file last
// chosen there selected (not chosen again).
class EscolhaArquivo : public QWidget
{
    Q_OBJECT

public:
    explicit EscolhaArquivo(QWidget* parent = nullptr);
    ~EscolhaArquivo() override;

    // The folder the file list shows.
    QString pasta() const { return m_pasta; }
    // Shows that folder (a folder that cannot be read leaves the lists as they were; false then).
    bool setPasta(const QString& pasta);
    // Files listed now, as the file list shows them.
    QStringList arquivos() const;
    // Lists only the files whose name ends in these three characters, in any case ("GDB", "pdf").
    void setFinal(const QString& final);
    // The name ends in final, in any case; no dot is needed.
    static bool terminaCom(const QString& nome, const QString& final);

    // The last folder used, for the run and across runs; the home folder when none is known.
    static QString ultimaPasta();
    static void lembraPasta(const QString& pasta);
    // Forgets the folder of this run (tests start afresh).
    static void esqueceUltimaPasta();

signals:
    void arquivoEscolhido(const QString& pasta, const QString& nome);

protected:
    bool eventFilter(QObject* objeto, QEvent* evento) override;

private:
    void preencheUnidades();
    void unidadeEscolhida(int indice);
    void mostraUnidade();
    void escolheArquivo();

    QComboBox* m_unidades;
    QListWidget* m_pastas;
    QListWidget* m_arquivos;
    QLineEdit* m_caminho;
    QString m_pasta;
    QString m_final;
};

} // namespace tervalia
