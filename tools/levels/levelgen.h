// kistora-levelgen's parts: the options, the random source, a candidate, and
// the steps each file does (rooms, pulls, rating and the search of a room).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "levelkit.h"

struct GenRandom {
    uint64_t State = 1;
    uint64_t Next()
    {
        State ^= State << 13;
        State ^= State >> 7;
        State ^= State << 17;
        return State;
    }
    int Below(int N)
    {
        return N <= 0 ? 0 : (int)(Next() % (uint64_t)N);
    }
};

struct GenOptions {
    int Crates = 3;
    int Width = 0, Height = 0; // interior, 0 = random
    int Rooms = 20;
    int Scrambles = 30;
    int Pulls = 0; // 0 = scaled by crates
    double SolveSeconds = 2.0;
    int Pillars = 8;             // percent of floor tried as pillars
    int Clustered = -1;          // -1 random, 0 scattered, 1 clustered targets
    int Segments = 0;            // short inner wall lines tried per room
    int Outline = 0;             // 1: carve the room from rectangles even with wall lines
    int Away = 60;               // percent of pulls that must take a crate farther from the targets
    int Deep = 0;                // 1: take the position farthest from solved (all pulls searched)
    int DeepLimit = 3000000;     // positions the backward search may hold
    std::string Shell;           // level source of a hand-drawn room
    std::string ShellLevel;      // its level name; empty: the first level of the file
    int RandomTargets = 0;       // 1: new targets at random in the shell
    int Keep = 1;                // distinct candidates printed
    int Climb = 0;               // hill-climbing steps per scrambled position
    double MaxFloorPerCrate = 0; // 0: no limit
    int MaxUnused = 100;         // percent of the floor the answer may leave unused
    double NodesWeight = 3.0;
    double ChangesWeight = 1.0;
    uint64_t SolveNodes = 6000000;
    int OnTargetShare = 34; // percent of the crates that may start on a target
    int Evolve = 0;         // room changes tried (one cell of wall or one target each)
    int FixedTargets = 0;   // 1: the room changes leave the targets where they are
    int KeepWalls = 0;      // 1: the shell's own walls stay (changes only add walls or take added ones away)
    int Beam = 0;           // >0: scrambles go breadth-first over pulls, this many positions a layer
};

struct Candidate {
    LevelGrid Grid;
    SolveResult Result;
    LevelFigures Figures;
    double Score = -1000;
    int Fits = 0; // 1 within the floor and unused limits
};

// levelgen_room.cpp: the room, carved or read from a shell, and its changes.
int CarveRoom(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid);
int ReadShell(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid);
int Connected(const LevelGrid& Grid, int Floor);
int MutateRoom(GenRandom& Random, const GenOptions& Options, const LevelGrid& Shell, LevelGrid& Room);

// levelgen_pull.cpp: positions played backwards from the solved one.
void Scramble(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid);
void Pull(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid, int Pulls, int FromWorker);
int Deepest(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid);
int BeamDeepest(GenRandom& Random, const GenOptions& Options, LevelGrid& Grid);

// levelgen_search.cpp: rating, keeping and the search of one room.
int RateCandidate(const GenOptions& Options, Candidate& Found);
void KeepCandidate(const GenOptions& Options, std::vector<Candidate>& Best, const Candidate& Found);
Candidate SearchRoom(GenRandom& Random, const GenOptions& Options, const LevelGrid& Empty, const Candidate* Incumbent,
                     std::vector<Candidate>& Best);
void PrintCandidate(const Candidate& Found, int Number);
// The grid's rows cropped to the walls: no empty rows and no blank columns on the left.
void PrintCroppedRows(const LevelGrid& Grid);
