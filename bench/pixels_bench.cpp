// The program's pixel paths against plain memory copies: drawing an image into
// the window, cropping it, and pasting dropped data into it. Run with
// QT_QPA_PLATFORM=offscreen.

#include <Application.h>
#include <Bitmap.h>
#include <BitmapStream.h>
#include <Message.h>
#include <PictureMetadata.h>
#include <TranslatorRoster.h>

#include "app/tavrin.h"
#include "view/tavrinview.h"
#include "window/tavrinwindow.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

tavrinwindow* sWindow = nullptr;

BBitmap* make_image(int w, int h)
{
    BBitmap* bitmap = new BBitmap(BRect(0, 0, w - 1, h - 1), B_RGB32);
    uint32* bits = static_cast<uint32*>(bitmap->Bits());
    for (int i = 0; i < w * h; i++)
        bits[i] = 0xff000000u | (i * 2654435761u >> 8);
    return bitmap;
}

void settle()
{
    for (int i = 0; i < 5; i++)
        QCoreApplication::processEvents();
}

// The floor: copying the same number of bytes with memcpy.
void Memcpy(benchmark::State& state)
{
    size_t bytes = (size_t)state.range(0) * state.range(1) * 4;
    std::vector<char> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

// Drawing the visible part of an image, as Draw does for every update.
void DrawImage(benchmark::State& state)
{
    tavrinview* view = sWindow->view;
    delete view->image;
    view->image = make_image(state.range(0), state.range(1));
    view->redraw(true);
    settle();
    BRect bounds = view->Bounds();
    for (auto _ : state)
        view->DrawBitmap(view->image, bounds, bounds);
    state.SetBytesProcessed(state.iterations() * (int64_t)(bounds.IntegerWidth() + 1) *
                            (bounds.IntegerHeight() + 1) * 4);
}

// Crops a fresh copy of a w x h picture to its middle half, again and again;
// with refit, the window is first fitted to the whole picture, so that it
// shrinks to the cropped one and the view repaints.
void crop_middle_half(benchmark::State& state, bool refit)
{
    tavrinview* view = sWindow->view;
    int w = state.range(0), h = state.range(1);
    BBitmap* source = make_image(w, h);
    int64_t copied = 0;
    for (auto _ : state) {
        state.PauseTiming();
        delete view->image;
        view->image = new BBitmap(source);
        if (refit) {
            view->redraw(true);
            settle();
        } else {
            pic = view->image->Bounds();
        }
        view->cursel.rect.Set(w / 4, h / 4, 3 * w / 4 - 1, 3 * h / 4 - 1);
        view->cursel.visible = true;
        view->mousemode = kGestureCrop;
        state.ResumeTiming();
        view->MouseUp(BPoint(0, 0));
        copied += (int64_t)(w / 2) * (h / 2) * 4;
    }
    state.SetBytesProcessed(copied);
    delete source;
}

// Cropping to the middle half of an image: the kept rows, the memory given
// back, the redraw. The 48 MB picture is made afresh for every crop, so unlike
// Memcpy's buffers its pixels are mostly not in the cache.
void Crop(benchmark::State& state)
{
    crop_middle_half(state, false);
}

// The same crop from a window fitted to the whole picture.
void CropRefit(benchmark::State& state)
{
    crop_middle_half(state, true);
}

// Pasting dropped raw bitmap data into an image of the same size, and drawing
// what changed.
void Paste(benchmark::State& state)
{
    tavrinview* view = sWindow->view;
    int w = state.range(0), h = state.range(1);
    delete view->image;
    view->image = make_image(w, h);
    view->redraw(true);
    BBitmapStream stream(make_image(w, h));
    std::vector<char> bytes(stream.Size());
    stream.ReadAt(0, bytes.data(), bytes.size());
    BMessage data(B_MIME_DATA);
    data.AddData("image/x-be-bitmap", B_MIME_TYPE, bytes.data(), (ssize_t)bytes.size());
    for (auto _ : state) {
        droppos.Set(0, 0);
        view->MessageReceived(&data);
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)w * h * 4);
}

// Redrawing the whole view over a 24-megapixel picture: at 100 %, at the
// zoom that fits it into the window (from the reduced copy the view keeps),
// and at fit with the copy made anew each time (the first frame after a
// change of the picture or the zoom).
void RedrawZoomed(benchmark::State& state)
{
    tavrinview* view = sWindow->view;
    delete view->image;
    view->image = make_image(6000, 4000);
    view->fitting = false;
    view->redraw(true);
    int mode = (int)state.range(0);
    if (mode > 0) {
        view->fitting = true;
        view->fitzoom();
    }
    settle();
    BRect bounds = view->Bounds();
    view->Draw(bounds);
    for (auto _ : state) {
        if (mode == 2)
            view->image->UnlockBits();
        view->Draw(bounds);
    }
    state.counters["zoom"] = view->zoom();
    state.counters["device_pixels"] =
        (bounds.Width() + 1) * (bounds.Height() + 1) * view->zoom() * view->zoom();
    view->fitting = false;
}

// A 24-megapixel picture drawn fitted: untagged (range 0) or tagged with the
// Adobe RGB profile (1), drawn again unchanged (the display copy is reused)
// or, with range 1 set, after every change of its pixels (the copy is made
// anew: the cost of the first drawing after opening or editing).
void ColorManagedDraw(benchmark::State& state)
{
    tavrinview* view = sWindow->view;
    delete view->image;
    view->image = make_image(6000, 4000);
    if (state.range(0) == 1) {
        FILE* file = fopen("/usr/share/color/icc/ghostscript/a98.icc", "rb");
        if (file == nullptr) {
            state.SkipWithError("no Adobe RGB profile (libgs-common)");
            return;
        }
        BPrivate::PictureMetadata metadata;
        char buffer[4096];
        size_t got;
        while ((got = fread(buffer, 1, sizeof(buffer), file)) > 0)
            metadata.icc.append(buffer, got);
        fclose(file);
        view->image->SetMetadata(metadata);
    }
    view->fitting = true;
    view->redraw(true);
    view->fitzoom();
    settle();
    BRect bounds = view->Bounds();
    view->Draw(bounds);
    bool changing = state.range(1) == 1;
    for (auto _ : state) {
        if (changing)
            view->image->UnlockBits();
        view->Draw(bounds);
    }
    state.counters["copy"] = view->displaycopy.For(view->image) != view->image;
    view->fitting = false;
}

} // namespace

BENCHMARK(ColorManagedDraw)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

// 2000 x 1500: the bytes that the crop of 4000 x 3000 to its middle half copies.
BENCHMARK(Memcpy)->Args({1920, 1080})->Args({2000, 1500})->Args({4000, 3000});
BENCHMARK(DrawImage)->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(RedrawZoomed)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Crop)->Args({4000, 3000})->Unit(benchmark::kMillisecond);
BENCHMARK(CropRefit)->Args({4000, 3000})->Unit(benchmark::kMillisecond);
BENCHMARK(Paste)->Args({1920, 1080})->Args({4000, 3000})->Unit(benchmark::kMillisecond);
// The same with the CPU time of every thread of the process: data that is
// decoded is decoded on a thread of its own, which the time above leaves out.
BENCHMARK(Paste)->Args({1920, 1080})->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    tr = BTranslatorRoster::Default();
    BApplication app("application/x-vnd.tavrin-bench");
    sWindow = new tavrinwindow(BRect(100, 100, 300, 250));
    settle();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
