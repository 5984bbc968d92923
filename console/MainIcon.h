#pragma once

#include <QIcon>

// The program's icon (MAINICON), rendered from its drawing at every size the
// desktop asks for, so it stays crisp on large and high-density displays.
QIcon mainIcon();
