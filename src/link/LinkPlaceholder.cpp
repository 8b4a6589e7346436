// placeholder until the link lands
namespace vmx::link { int LinkPlaceholder() { return 0; } }
