#include "Commands.h"

#include "SerialLink.h"

void sendCommand(SerialLink &link, Command command)
{
    link.sendByte(commandByte(command));
}
