// The editor: level list, current level, camera, interaction modes, the
// frame and selection pass, every window event, and the text overlay.
#pragma once

#include <vector>

class FileIO;
class Splines;

class Graphics {
public:
    static constexpr int kSelectBufferSize = 256;

    int mousePos[2];
    int movingMode;
    int deleteMode;
    int showMessages;
    int cameraPos[3];
    std::vector<Splines*> spline;
    unsigned int selectBuf[kSelectBufferSize];
    int hits;
    int viewport[4];
    int WindowWidth;
    int WindowHeight;
    FileIO* saveData;
    int currentLevel;

    explicit Graphics(FileIO* input);
    void DrawingSetup();
    void Display();
    void Reshape(int width, int height);
    void MouseMoved(int x, int y);
    void Mouse(int button, int state, int x, int y);
    void Idle();
    void WindowStatus(int state);
    void ProcessHits(int hits, unsigned int* buffer);
    void DragTrack();
    void Char2Wall(float x, float y, float z, const char* buf);
    void Messages();
    void Keyboard(unsigned char key, int x, int y);
    void SpecialKeyboard(int key, int x, int y);

private:
    void DrawLevels(bool selecting);
    int SelectionHits(unsigned int* buffer, int size);
    void SelectionPass();
    void KeepLevelsUsable();
    void ScheduleDragStep();

    // Drag pacing, in milliseconds of the toolkit's clock.
    double nextDragStep;
    double refreshInterval;
    int dragStepScheduled;
};
