#include <QApplication>

int RunChartMouseTest(int argc, char** argv);
int RunInfoPanelTest(int argc, char** argv);
int RunSettingsPanelTest(int argc, char** argv);
int RunViewerTest(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = 0;
    failed += RunChartMouseTest(argc, argv);
    failed += RunInfoPanelTest(argc, argv);
    failed += RunSettingsPanelTest(argc, argv);
    failed += RunViewerTest(argc, argv);
    return failed == 0 ? 0 : 1;
}
