// Whether the application has been asked to end. Waits and loops check it so that nothing keeps
// the process alive after Exit, or after a later start handed its work to the running one.
#pragma once

namespace tessary {

bool IsTerminating();
void SetTerminating(bool terminating);

}  // namespace tessary
