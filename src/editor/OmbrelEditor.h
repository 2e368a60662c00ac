// Process start-up: the two globals, the command line, and the window
// callbacks, each of which hands its event to the editor unchanged.
#pragma once

class FileIO;
class Graphics;

extern FileIO* input;
extern Graphics* graphics;

void arguments(int argc, char** argv);

void display();
void reshape(int width, int height);
void mouse(int button, int state, int x, int y);
void mousemoved(int x, int y);
void keyboard(unsigned char key, int x, int y);
void specialKeyboard(int key, int x, int y);
void windowStatus(int state);
