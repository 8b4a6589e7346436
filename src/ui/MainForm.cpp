// placeholder until the window lands
namespace vmx::ui {
int MainFormPlaceholder() { return 0; }
}
